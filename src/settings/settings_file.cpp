#include "settings/settings_file.h"

#include "common/app_error.h"

#include <exception>

namespace kx {

namespace {

constexpr const char* kSetting = "Setting";
constexpr const char* kWindowsPos = "WindowsPos";
constexpr const char* kWindowsTransparent = "WindowsTransparent";
constexpr const char* kMainMenu = "MainMenu";
constexpr const char* kAgth = "Agth";

std::string ShortcutSection(int row) { return "AgthSM" + std::to_string(row); }

// Blanks and control characters at both ends removed.
std::string_view TrimControls(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

std::string TextOr(const std::optional<std::string>& value) { return value.value_or(std::string()); }

// A file saved as UTF-16 (with its byte-order mark) is edited as ANSI text and
// written back as UTF-16; that is only done when the ANSI code page holds
// every character of it, so that no other line changes.
enum class FileEncoding { Ansi, Utf16LittleEndian, Utf16BigEndian };

struct AnsiView {
    FileEncoding encoding = FileEncoding::Ansi;
    std::string text;
    bool lossless = true;
};

AnsiView ToAnsi(const std::string& bytes, CodePagePort& codePages)
{
    AnsiView view;
    const bool little = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    const bool big = bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF';
    if (!little && !big) {
        view.text = bytes;
        return view;
    }
    view.encoding = little ? FileEncoding::Utf16LittleEndian : FileEncoding::Utf16BigEndian;
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(little ? first | (second << 8) : (first << 8) | second));
    }
    view.text = codePages.FromWide(units, 0);
    view.lossless = bytes.size() % 2 == 0 && codePages.ToWide(view.text, 0) == units;
    return view;
}

std::string FromAnsi(const std::string& text, FileEncoding encoding, CodePagePort& codePages)
{
    if (encoding == FileEncoding::Ansi)
        return text;
    const bool little = encoding == FileEncoding::Utf16LittleEndian;
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : codePages.ToWide(text, 0)) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes.push_back(little ? low : high);
        bytes.push_back(little ? high : low);
    }
    return bytes;
}

} // namespace

std::string SettingsFilePath(std::string_view exePath)
{
    const std::size_t folderEnd = exePath.find_last_of("\\:");
    const std::string_view folder =
        folderEnd == std::string_view::npos ? std::string_view() : exePath.substr(0, folderEnd + 1);
    return std::string(folder) + std::string(kSettingsFileName);
}

MainWindowState ReadSettings(const IniFile& file, AppSettings& settings, Color presentLogViewBackground)
{
    MainWindowState window;
    const AppSettings defaults;

    settings.Ancete = ReadInteger(file.Get(kSetting, "Ancete"), defaults.Ancete);
    settings.uot = ReadInteger(file.Get(kSetting, "uot"), defaults.uot);
    settings.Codepage = ReadInteger(file.Get(kSetting, "Codepage"), defaults.Codepage);
    settings.Flood = ReadInteger(file.Get(kSetting, "Flood"), defaults.Flood);
    settings.FloodChk = ReadInteger(file.Get(kSetting, "FloodChk"), defaults.FloodChk);

    window.top = ReadInteger(file.Get(kWindowsPos, "MainTop"), 100);
    window.left = ReadInteger(file.Get(kWindowsPos, "MainLeft"), 100);
    window.height = ReadInteger(file.Get(kWindowsPos, "MainHeight"), 200);
    window.width = ReadInteger(file.Get(kWindowsPos, "MainWidth"), 640);

    // A colour that does not convert counts as no colour at all.
    const std::string background = TextOr(file.Get(kSetting, "TBgColor"));
    const std::string_view trimmed = TrimControls(background);
    const std::optional<Color> color = trimmed.empty() ? std::nullopt : ParseColorText(trimmed);
    window.logViewBackground = color;
    window.colorDialogColor = color.value_or(presentLogViewBackground);

    window.alpha = static_cast<std::uint8_t>(ReadInteger(file.Get(kWindowsTransparent, "MainABV"), 255) & 0xFF);
    window.alphaBlending = window.alpha != 0;

    window.translationChecked = ReadBoolean(file.Get(kMainMenu, "Translation"), true);
    window.alwaysOnTopChecked = ReadBoolean(file.Get(kMainMenu, "Aot"), false);

    // A path that does not decode counts as no path.
    settings.Agthpath = DecodeHexText(TextOr(file.Get(kAgth, "Agthpath"))).value_or(std::u16string());
    settings.AgthAToption = TextOr(file.Get(kAgth, "AgthAToption"));
    settings.AgthATrun = ReadInteger(file.Get(kAgth, "AgthATrun"), defaults.AgthATrun);

    for (int row = 0; row < kShortcutRows; ++row) {
        const std::string section = ShortcutSection(row);
        ShortcutEntry& entry = settings.ShortcutTable[static_cast<std::size_t>(row)];
        entry.GName = TextOr(file.Get(section, "GName"));
        entry.APath = TextOr(file.Get(section, "APath"));
        entry.AOption = TextOr(file.Get(section, "AOption"));
        entry.TDelay = TextOr(file.Get(section, "TDelay"));
        entry.Notes = TextOr(file.Get(section, "Notes"));
        entry.GTMethod = TextOr(file.Get(section, "GTMethod"));
    }

    window.fontToApply = ParseFontText(TextOr(file.Get(kSetting, "TMainFont")));
    if (window.fontToApply)
        window.logViewFont = *window.fontToApply;

    // Whatever became of the font.
    window.stayOnTop = window.alwaysOnTopChecked;
    return window;
}

void WriteSettings(IniFile& file, const AppSettings& settings, const MainWindowState& window)
{
    file.Set(kSetting, "Ancete", IntegerText(settings.Ancete));
    file.Set(kSetting, "uot", IntegerText(settings.uot));
    file.Set(kSetting, "Codepage", IntegerText(settings.Codepage));
    file.Set(kSetting, "Flood", IntegerText(settings.Flood));
    file.Set(kSetting, "FloodChk", IntegerText(settings.FloodChk));

    file.Set(kWindowsPos, "MainTop", IntegerText(window.top));
    file.Set(kWindowsPos, "MainLeft", IntegerText(window.left));
    file.Set(kWindowsPos, "MainHeight", IntegerText(window.height));
    file.Set(kWindowsPos, "MainWidth", IntegerText(window.width));

    file.Set(kSetting, "TBgColor", ColorText(window.colorDialogColor));
    file.Set(kWindowsTransparent, "MainABV", IntegerText(window.alpha));
    file.Set(kMainMenu, "Translation", BooleanText(window.translationChecked));
    file.Set(kMainMenu, "Aot", BooleanText(window.alwaysOnTopChecked));

    file.Set(kAgth, "Agthpath", EncodeHexText(settings.Agthpath));
    file.Set(kAgth, "AgthAToption", settings.AgthAToption);
    file.Set(kAgth, "AgthATrun", IntegerText(settings.AgthATrun));

    for (int row = 0; row < kShortcutRows; ++row) {
        const std::string section = ShortcutSection(row);
        const ShortcutEntry& entry = settings.ShortcutTable[static_cast<std::size_t>(row)];
        file.Set(section, "GName", entry.GName);
        file.Set(section, "APath", entry.APath);
        file.Set(section, "AOption", entry.AOption);
        file.Set(section, "TDelay", entry.TDelay);
        file.Set(section, "Notes", entry.Notes);
        file.Set(section, "GTMethod", entry.GTMethod);
    }

    file.Set(kSetting, "TMainFont", FontText(window.logViewFont));
}

MainWindowState LoadSettings(SettingsFile& file, AppSettings& settings, Color presentLogViewBackground)
{
    const FileReadResult read = file.files.ReadWholeFile(file.path);
    file.unreadableAtLoad = read.status == FileReadStatus::Failed;
    const IniFile ini =
        read.status == FileReadStatus::Read ? IniFile::Parse(ToAnsi(read.bytes, file.codePages).text) : IniFile();
    return ReadSettings(ini, settings, presentLogViewBackground);
}

bool SaveSettings(SettingsFile& file, const AppSettings& settings, const MainWindowState& window)
{
    bool saved = false;
    try {
        if (!file.unreadableAtLoad) {
            const FileReadResult read = file.files.ReadWholeFile(file.path);
            const AnsiView view = ToAnsi(read.bytes, file.codePages);
            if (read.status != FileReadStatus::Failed && view.lossless) {
                IniFile ini = IniFile::Parse(view.text);
                WriteSettings(ini, settings, window);
                const std::string bytes = FromAnsi(ini.Serialize(), view.encoding, file.codePages);
                saved = (read.status == FileReadStatus::Read && bytes == read.bytes) ||
                        file.files.ReplaceWholeFile(file.path, bytes);
            }
        }
    } catch (const std::exception&) {
        saved = false;
    }
    if (!saved) {
        try {
            const std::u16string message =
                file.codePages.ToWide(WithClosingFullStop("Unable to write to " + file.path), 0);
            file.prompts.ShowAppError(message);
        } catch (const std::exception&) {
            // Nothing more can be told; the shutdown goes on.
        }
    }
    return saved;
}

} // namespace kx
