#include "settings/settings_file.h"

#include "common/app_error.h"
#include "common/text.h"
#include "common/utf.h"

#include <exception>
#include <utility>

namespace kx {

namespace {

constexpr const char* kSetting = "Setting";
constexpr const char* kWindowsPos = "WindowsPos";
constexpr const char* kWindowsTransparent = "WindowsTransparent";
constexpr const char* kMainMenu = "MainMenu";
constexpr const char* kAgth = "Agth";
constexpr const char* kFilters = "Filters";
constexpr const char* kSubstitutions = "Substitutions";
constexpr const char* kHotkeys = "Hotkeys";
constexpr const char* kEngine = "Engine";
constexpr const char* kGlossary = "Glossary";
constexpr const char* kSubtitle = "Subtitle";
constexpr const char* kCapture = "Capture";

// Each hotkey setting with its key in the "Hotkeys" section, in file order.
constexpr std::pair<const char*, std::string HotkeySettings::*> kHotkeyKeys[] = {
    {"Monitoring", &HotkeySettings::Monitoring},
    {"Translation", &HotkeySettings::Translation},
    {"Subtitle", &HotkeySettings::Subtitle},
    {"ClickThrough", &HotkeySettings::ClickThrough},
    {"ShowHide", &HotkeySettings::ShowHide},
};

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

constexpr const char* kAlignBottom = "Bottom";
constexpr const char* kAlignTop = "Top";

// The "Subtitle" section: each value that does not convert, or is out of
// range, is the key's default; Shadow keeps any integer, as the switches do.
SubtitleLook ReadSubtitleLook(const IniFile& file)
{
    const SubtitleLook defaults;
    SubtitleLook look;
    const std::string colour = TextOr(file.Get(kSubtitle, "OutlineColor"));
    look.OutlineColor = ParseColorText(TrimControls(colour)).value_or(defaults.OutlineColor);
    const std::int32_t width = ReadInteger(file.Get(kSubtitle, "OutlineWidth"), defaults.OutlineWidth);
    look.OutlineWidth = IsOutlineWidth(width) ? width : defaults.OutlineWidth;
    look.Shadow = ReadInteger(file.Get(kSubtitle, "Shadow"), defaults.Shadow);
    const std::string align = TextOr(file.Get(kSubtitle, "Align"));
    look.Align = EqualsIgnoringAsciiCase(TrimControls(align), kAlignTop) ? StripAlign::Top : StripAlign::Bottom;
    return look;
}

// "B0", "B1", ... (before translation) and "A0", ... (after) in
// "Substitutions", "G0", ... in "Glossary": each value is the hex text of the
// first of the pair, a comma and the hex text of the second. The list ends at
// the first missing key; a value that does not decode, or whose first is
// empty, is passed over.
std::vector<Substitution> ReadPairs(const IniFile& file, const char* section, char list)
{
    std::vector<Substitution> out;
    for (int i = 0;; ++i) {
        const std::optional<std::string> value = file.Get(section, list + std::to_string(i));
        if (!value)
            return out;
        const std::size_t comma = value->find(',');
        if (comma == std::string::npos)
            continue;
        std::optional<std::u16string> find = DecodeHexText(std::string_view(*value).substr(0, comma));
        std::optional<std::u16string> replace = DecodeHexText(std::string_view(*value).substr(comma + 1));
        if (find && replace && !find->empty())
            out.push_back({std::move(*find), std::move(*replace)});
    }
}

std::int32_t ReadInRange(const IniFile& file, const char* section, const char* key, std::int32_t lowest,
                         std::int32_t highest, std::int32_t fallback)
{
    const std::int32_t value = ReadInteger(file.Get(section, key), fallback);
    return value >= lowest && value <= highest ? value : fallback;
}

// A file saved as UTF-16 (with its byte-order mark) is read through the ANSI
// code page, as the profile functions read it, and edited as UTF-8 so that the
// lines no key changes keep every character.
enum class FileEncoding { Ansi, Utf16LittleEndian, Utf16BigEndian };

FileEncoding EncodingOf(const std::string& bytes)
{
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        return FileEncoding::Utf16LittleEndian;
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF')
        return FileEncoding::Utf16BigEndian;
    return FileEncoding::Ansi;
}

// The code units behind the byte-order mark (a last odd byte is left out).
std::u16string Utf16Units(const std::string& bytes, FileEncoding encoding)
{
    const bool little = encoding == FileEncoding::Utf16LittleEndian;
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(little ? first | (second << 8) : (first << 8) | second));
    }
    return units;
}

std::string Utf16Bytes(std::u16string_view units, FileEncoding encoding)
{
    const bool little = encoding == FileEncoding::Utf16LittleEndian;
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    bytes.reserve(2 + units.size() * 2);
    for (char16_t unit : units) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes.push_back(little ? low : high);
        bytes.push_back(little ? high : low);
    }
    return bytes;
}

std::string FileText(const std::string& bytes, CodePagePort& codePages)
{
    const FileEncoding encoding = EncodingOf(bytes);
    return encoding == FileEncoding::Ansi ? bytes : codePages.FromWide(Utf16Units(bytes, encoding), 0);
}

// The bytes the file gets with every key written, or nullopt when its text
// could not be kept (a UTF-16 file of an odd number of bytes).
std::optional<std::string> UpdatedFile(const std::string& bytes, const AppSettings& settings,
                                       const MainWindowState& window, CodePagePort& codePages)
{
    const FileEncoding encoding = EncodingOf(bytes);
    if (encoding == FileEncoding::Ansi) {
        IniFile ini = IniFile::Parse(bytes);
        WriteSettings(ini, settings, window);
        return ini.Serialize();
    }
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    IniFile ini = IniFile::Parse(Utf8FromUtf16(Utf16Units(bytes, encoding)));
    WriteSettings(ini, settings, window,
                  [&codePages](std::string_view ansi) { return Utf8FromUtf16(codePages.ToWide(ansi, 0)); });
    return Utf16Bytes(Utf16FromUtf8(ini.Serialize()), encoding);
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
    settings.ClickThrough = ReadInteger(file.Get(kSetting, "ClickThrough"), defaults.ClickThrough);

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

    settings.Filters.RepeatChars = ReadInteger(file.Get(kFilters, "RepeatChars"), defaults.Filters.RepeatChars);
    settings.Filters.RepeatPhrase = ReadInteger(file.Get(kFilters, "RepeatPhrase"), defaults.Filters.RepeatPhrase);
    settings.Filters.SkipRepeat = ReadInteger(file.Get(kFilters, "SkipRepeat"), defaults.Filters.SkipRepeat);
    settings.Filters.before = ReadPairs(file, kSubstitutions, 'B');
    settings.Filters.after = ReadPairs(file, kSubstitutions, 'A');

    // A missing key is the default hotkey; an empty value is none.
    for (const auto& [key, field] : kHotkeyKeys)
        settings.Hotkeys.*field = file.Get(kHotkeys, key).value_or(defaults.Hotkeys.*field);

    // An unknown engine is ezTrans; a time-out out of range is the default.
    settings.Engine = TextOr(file.Get(kEngine, "Kind")) == kEngineKindServer ? EngineKind::Server : EngineKind::EzTrans;
    settings.Server.url = file.Get(kEngine, "Url").value_or(defaults.Server.url);
    settings.Server.model = TextOr(file.Get(kEngine, "Model"));
    if (const std::optional<std::string> prompt = file.Get(kEngine, "Prompt"))
        settings.Server.prompt = DecodeHexText(*prompt).value_or(defaults.Server.prompt);
    const ServerSettings& server = defaults.Server;
    settings.Server.timeoutSeconds =
        ReadInRange(file, kEngine, "TimeoutS", kMinServerTimeoutSeconds, kMaxServerTimeoutSeconds, server.timeoutSeconds);
    settings.Server.contextLines = ReadInRange(file, kEngine, "ContextLines", 0, kMaxContextLines, server.contextLines);
    settings.Server.contextTranslations = ReadInteger(file.Get(kEngine, "ContextTranslations"), server.contextTranslations);
    settings.Server.stream = ReadInteger(file.Get(kEngine, "Stream"), server.stream);
    settings.Server.maxTokens = ReadInRange(file, kEngine, "MaxTokens", kMinMaxTokens, kMaxMaxTokens, server.maxTokens);
    settings.Server.glossary.clear();
    for (Substitution& pair : ReadPairs(file, kGlossary, 'G'))
        settings.Server.glossary.push_back({std::move(pair.find), std::move(pair.replace)});
    settings.ServerApiKey = TextOr(file.Get(kEngine, "ApiKey"));
    settings.Subtitle = ReadSubtitleLook(file);
    // An unknown source is the clipboard; the URL is kept as written, for the dialog to show.
    settings.Source =
        TextOr(file.Get(kCapture, "Source")) == kTextSourceWebSocket ? TextSource::WebSocket : TextSource::Clipboard;
    settings.WebSocketUrl = file.Get(kCapture, "WebSocketUrl").value_or(defaults.WebSocketUrl);

    window.fontToApply = ParseFontText(TextOr(file.Get(kSetting, "TMainFont")));
    if (window.fontToApply)
        window.logViewFont = *window.fontToApply;

    // Whatever became of the font.
    window.stayOnTop = window.alwaysOnTopChecked;
    return window;
}

void WriteSettings(IniFile& ini, const AppSettings& settings, const MainWindowState& window, const ValueForm& fileForm)
{
    // Every value goes into the file in the file's own form.
    struct {
        IniFile& ini;
        const ValueForm& form;
        void Set(std::string_view section, std::string_view key, std::string_view value)
        {
            ini.Set(section, key, form ? form(value) : std::string(value));
        }
    } file{ini, fileForm};

    file.Set(kSetting, "Ancete", IntegerText(settings.Ancete));
    file.Set(kSetting, "uot", IntegerText(settings.uot));
    file.Set(kSetting, "Codepage", IntegerText(settings.Codepage));
    file.Set(kSetting, "Flood", IntegerText(settings.Flood));
    file.Set(kSetting, "FloodChk", IntegerText(settings.FloodChk));
    file.Set(kSetting, "ClickThrough", IntegerText(settings.ClickThrough));

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

    file.Set(kFilters, "RepeatChars", IntegerText(settings.Filters.RepeatChars));
    file.Set(kFilters, "RepeatPhrase", IntegerText(settings.Filters.RepeatPhrase));
    file.Set(kFilters, "SkipRepeat", IntegerText(settings.Filters.SkipRepeat));
    const auto writeList = [&](const char* section, char list, const auto& pairs, auto first, auto second) {
        std::size_t i = 0;
        for (const auto& pair : pairs)
            file.Set(section, list + std::to_string(i++), EncodeHexText(pair.*first) + "," + EncodeHexText(pair.*second));
        // A shorter list than before ends at its first missing key.
        while (ini.Remove(section, list + std::to_string(i)))
            ++i;
    };
    writeList(kSubstitutions, 'B', settings.Filters.before, &Substitution::find, &Substitution::replace);
    writeList(kSubstitutions, 'A', settings.Filters.after, &Substitution::find, &Substitution::replace);

    for (const auto& [key, field] : kHotkeyKeys)
        file.Set(kHotkeys, key, settings.Hotkeys.*field);

    file.Set(kEngine, "Kind", settings.Engine == EngineKind::Server ? kEngineKindServer : kEngineKindEzTrans);
    file.Set(kEngine, "Url", settings.Server.url);
    file.Set(kEngine, "Model", settings.Server.model);
    file.Set(kEngine, "Prompt", EncodeHexText(settings.Server.prompt));
    file.Set(kEngine, "TimeoutS", IntegerText(settings.Server.timeoutSeconds));
    file.Set(kEngine, "ApiKey", settings.ServerApiKey);
    file.Set(kEngine, "ContextLines", IntegerText(settings.Server.contextLines));
    file.Set(kEngine, "ContextTranslations", IntegerText(settings.Server.contextTranslations));
    file.Set(kEngine, "Stream", IntegerText(settings.Server.stream));
    file.Set(kEngine, "MaxTokens", IntegerText(settings.Server.maxTokens));
    writeList(kGlossary, 'G', settings.Server.glossary, &GlossaryEntry::term, &GlossaryEntry::translation);

    file.Set(kSubtitle, "OutlineColor", ColorText(settings.Subtitle.OutlineColor));
    file.Set(kSubtitle, "OutlineWidth", IntegerText(settings.Subtitle.OutlineWidth));
    file.Set(kSubtitle, "Shadow", IntegerText(settings.Subtitle.Shadow));
    file.Set(kSubtitle, "Align", settings.Subtitle.Align == StripAlign::Top ? kAlignTop : kAlignBottom);

    file.Set(kCapture, "Source", settings.Source == TextSource::WebSocket ? kTextSourceWebSocket : kTextSourceClipboard);
    file.Set(kCapture, "WebSocketUrl", settings.WebSocketUrl);

    file.Set(kSetting, "TMainFont", FontText(window.logViewFont));
}

MainWindowState LoadSettings(SettingsFile& file, AppSettings& settings, Color presentLogViewBackground)
{
    const FileReadResult read = file.files.ReadWholeFile(file.path);
    file.unreadableAtLoad = read.status == FileReadStatus::Failed;
    const IniFile ini =
        read.status == FileReadStatus::Read ? IniFile::Parse(FileText(read.bytes, file.codePages)) : IniFile();
    return ReadSettings(ini, settings, presentLogViewBackground);
}

bool SaveSettings(SettingsFile& file, const AppSettings& settings, const MainWindowState& window)
{
    bool saved = false;
    try {
        if (!file.unreadableAtLoad) {
            const FileReadResult read = file.files.ReadWholeFile(file.path);
            const std::optional<std::string> bytes =
                read.status == FileReadStatus::Failed ? std::nullopt
                                                      : UpdatedFile(read.bytes, settings, window, file.codePages);
            if (bytes)
                saved = (read.status == FileReadStatus::Read && *bytes == read.bytes) ||
                        file.files.ReplaceWholeFile(file.path, *bytes);
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
