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
    const IniFile ini = read.status == FileReadStatus::Read ? IniFile::Parse(read.bytes) : IniFile();
    return ReadSettings(ini, settings, presentLogViewBackground);
}

bool SaveSettings(SettingsFile& file, const AppSettings& settings, const MainWindowState& window)
{
    bool saved = false;
    try {
        if (!file.unreadableAtLoad) {
            const FileReadResult read = file.files.ReadWholeFile(file.path);
            if (read.status != FileReadStatus::Failed) {
                IniFile ini = IniFile::Parse(read.bytes);
                WriteSettings(ini, settings, window);
                const std::string bytes = ini.Serialize();
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
