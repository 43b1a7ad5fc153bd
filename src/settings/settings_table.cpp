#include "settings/settings_table.h"

#include "common/text.h"
#include "settings/value_encodings.h"

#include <optional>
#include <utility>

namespace kx {

namespace {

// Where a row's value lives: the same lambda serves the read and the write.
#define KX_AT(path) [](auto r) -> auto& { return r.path; }

// Blanks and control characters at both ends removed.
std::string_view TrimControls(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

SettingRow NewRow(std::string section, std::string key, StoredForm form)
{
    SettingRow row;
    row.section = std::move(section);
    row.key = std::move(key);
    row.form = form;
    return row;
}

// A row of one value: `decode` gives nullopt for a value that does not read.
template <class Place, class Decode, class Encode>
SettingRow ValueRow(std::string section, std::string key, StoredForm form, Place place, Decode decode, Encode encode)
{
    SettingRow row = NewRow(std::move(section), std::move(key), form);
    row.read = [section = row.section, key = row.key, place, decode](const IniFile& file, SettingsRecord r) {
        const std::optional<std::string> value = file.Get(section, key);
        if (!value)
            return true;
        auto decoded = decode(std::string_view(*value));
        if (!decoded)
            return false;
        place(r) = std::move(*decoded);
        return true;
    };
    row.write = [section = row.section, key = row.key, place, encode](ValueWriter& out, ConstSettingsRecord r) {
        out.Set(section, key, encode(place(r)));
    };
    return row;
}

template <class Place>
SettingRow IntegerRow(std::string section, std::string key, Place place,
                      std::int32_t lowest = std::numeric_limits<std::int32_t>::min(),
                      std::int32_t highest = std::numeric_limits<std::int32_t>::max())
{
    SettingRow row = ValueRow(
        std::move(section), std::move(key), StoredForm::Integer, place,
        [lowest, highest](std::string_view text) -> std::optional<std::int32_t> {
            const std::optional<std::int32_t> number = ParseInteger(text);
            if (!number || *number < lowest || *number > highest)
                return std::nullopt;
            return number;
        },
        [](std::int32_t value) { return IntegerText(value); });
    row.lowest = lowest;
    row.highest = highest;
    return row;
}

template <class Place>
SettingRow BooleanRow(std::string section, std::string key, Place place)
{
    return ValueRow(
        std::move(section), std::move(key), StoredForm::Boolean, place,
        [](std::string_view text) -> std::optional<bool> {
            const std::optional<std::int32_t> number = ParseInteger(text);
            return number ? std::optional<bool>(*number != 0) : std::nullopt;
        },
        [](bool value) { return BooleanText(value); });
}

template <class Place>
SettingRow ColourRow(std::string section, std::string key, Place place)
{
    return ValueRow(
        std::move(section), std::move(key), StoredForm::Colour, place,
        [](std::string_view text) { return ParseColorText(TrimControls(text)); },
        [](Color value) { return ColorText(value); });
}

template <class Place>
SettingRow HexTextRow(std::string section, std::string key, Place place)
{
    return ValueRow(
        std::move(section), std::move(key), StoredForm::HexText, place,
        [](std::string_view text) { return DecodeHexText(text); },
        [](const std::u16string& value) { return EncodeHexText(value); });
}

template <class Place>
SettingRow TextRow(std::string section, std::string key, Place place, StoredForm form = StoredForm::Text)
{
    return ValueRow(
        std::move(section), std::move(key), form, place,
        [](std::string_view text) { return std::optional<std::string>(text); },
        [](const std::string& value) { return value; });
}

// An enumeration written as one of `names` (in the order of its values);
// `lenient` reads a name in any case and with blanks around it.
template <class Enum, class Place>
SettingRow ChoiceRow(std::string section, std::string key, Place place, std::vector<std::string_view> names,
                     bool lenient = false)
{
    SettingRow row = ValueRow(
        std::move(section), std::move(key), StoredForm::Choice, place,
        [names, lenient](std::string_view text) -> std::optional<Enum> {
            for (std::size_t i = 0; i < names.size(); ++i)
                if (lenient ? EqualsIgnoringAsciiCase(TrimControls(text), names[i]) : text == names[i])
                    return static_cast<Enum>(i);
            return std::nullopt;
        },
        [names](Enum value) { return std::string(names[static_cast<std::size_t>(value)]); });
    row.choices = std::move(names);
    return row;
}

// "B0", "B1", ...: each value the hex text of the pair's first, a comma and
// the hex text of its second. The list ends at the first missing key; a pair
// that does not decode, or whose first is empty, is passed over.
// An engine or none: one of the engines' names, or "None".
template <class Place>
SettingRow OtherEngineRow(std::string section, std::string key, Place place)
{
    static const std::vector<std::string_view> names = {kNoEngine, kEngineKindEzTrans, kEngineKindServer,
                                                        kEngineKindDeepL, kEngineKindPapago};
    SettingRow row = ValueRow(
        std::move(section), std::move(key), StoredForm::Choice, place,
        [](std::string_view text) -> std::optional<std::optional<EngineKind>> {
            for (std::size_t i = 0; i < names.size(); ++i)
                if (text == names[i])
                    return i == 0 ? std::optional<EngineKind>() : std::optional<EngineKind>(static_cast<EngineKind>(i - 1));
            return std::nullopt;
        },
        [](std::optional<EngineKind> value) {
            return std::string(names[value ? static_cast<std::size_t>(*value) + 1 : 0]);
        });
    row.choices = names;
    return row;
}

template <class Pair, class Place>
SettingRow PairListRow(std::string section, std::string letter, Place place, std::u16string Pair::*first,
                       std::u16string Pair::*second)
{
    SettingRow row = NewRow(std::move(section), std::move(letter), StoredForm::PairList);
    row.read = [section = row.section, letter = row.key, place, first, second](const IniFile& file,
                                                                                SettingsRecord r) {
        std::vector<Pair> pairs;
        bool whole = true;
        for (int i = 0;; ++i) {
            const std::optional<std::string> value = file.Get(section, letter + std::to_string(i));
            if (!value)
                break;
            const std::size_t comma = value->find(',');
            std::optional<std::u16string> a, b;
            if (comma != std::string::npos) {
                a = DecodeHexText(std::string_view(*value).substr(0, comma));
                b = DecodeHexText(std::string_view(*value).substr(comma + 1));
            }
            if (!a || !b || a->empty()) {
                whole = false;
                continue;
            }
            Pair pair;
            pair.*first = std::move(*a);
            pair.*second = std::move(*b);
            pairs.push_back(std::move(pair));
        }
        place(r) = std::move(pairs);
        return whole;
    };
    row.write = [section = row.section, letter = row.key, place, first, second](ValueWriter& out,
                                                                                 ConstSettingsRecord r) {
        std::size_t i = 0;
        for (const Pair& pair : place(r))
            out.Set(section, letter + std::to_string(i++), EncodeHexText(pair.*first) + "," + EncodeHexText(pair.*second));
        // A shorter list than before ends at its first missing key.
        while (out.Remove(section, letter + std::to_string(i)))
            ++i;
    };
    return row;
}

// TBgColor: the log view's background and the colour dialog's colour. A
// blank value is no colour (the dialog keeps the colour it was given).
SettingRow BackgroundRow()
{
    SettingRow row = NewRow("Setting", "TBgColor", StoredForm::Colour);
    row.read = [](const IniFile& file, SettingsRecord r) {
        const std::optional<std::string> value = file.Get("Setting", "TBgColor");
        const std::string_view trimmed = value ? TrimControls(*value) : std::string_view();
        if (trimmed.empty())
            return true;
        const std::optional<Color> colour = ParseColorText(trimmed);
        if (!colour)
            return false;
        r.window.logViewBackground = colour;
        r.window.colorDialogColor = *colour;
        return true;
    };
    row.write = [](ValueWriter& out, ConstSettingsRecord r) {
        out.Set("Setting", "TBgColor", ColorText(r.window.colorDialogColor));
    };
    return row;
}

// TMainFont: written from the log view's font; read as the font to apply.
SettingRow FontRow()
{
    SettingRow row = NewRow("Setting", "TMainFont", StoredForm::Font);
    row.read = [](const IniFile& file, SettingsRecord r) {
        const std::optional<std::string> value = file.Get("Setting", "TMainFont");
        if (!value)
            return true;
        r.window.fontToApply = ParseFontText(*value);
        if (!r.window.fontToApply)
            return false;
        r.window.logViewFont = *r.window.fontToApply;
        return true;
    };
    row.write = [](ValueWriter& out, ConstSettingsRecord r) {
        out.Set("Setting", "TMainFont", FontText(r.window.logViewFont));
    };
    return row;
}

// MainABV: the low 8 bits of any integer.
SettingRow AlphaRow()
{
    SettingRow row = ValueRow(
        "WindowsTransparent", "MainABV", StoredForm::Integer, KX_AT(window.alpha),
        [](std::string_view text) -> std::optional<std::uint8_t> {
            const std::optional<std::int32_t> number = ParseInteger(text);
            return number ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(*number & 0xFF)) : std::nullopt;
        },
        [](std::uint8_t value) { return IntegerText(value); });
    row.lowest = 0;
    row.highest = 255;
    return row;
}

void AddShortcutRows(std::vector<SettingRow>& table)
{
    for (std::size_t index = 0; index < static_cast<std::size_t>(kShortcutRows); ++index) {
        const std::string section = "AgthSM" + std::to_string(index);
        const auto field = [&](const char* key, std::string ShortcutEntry::*member) {
            table.push_back(TextRow(section, key, [index, member](auto r) -> auto& {
                return r.app.ShortcutTable[index].*member;
            }));
        };
        field("GName", &ShortcutEntry::GName);
        field("APath", &ShortcutEntry::APath);
        field("AOption", &ShortcutEntry::AOption);
        field("TDelay", &ShortcutEntry::TDelay);
        field("Notes", &ShortcutEntry::Notes);
        field("GTMethod", &ShortcutEntry::GTMethod);
    }
}

SettingRow PerGame(SettingRow row)
{
    row.perGame = true;
    return row;
}

std::vector<SettingRow> MakeTable()
{
    std::vector<SettingRow> t;
    t.push_back(PerGame(IntegerRow("Setting", "Ancete", KX_AT(app.Ancete))));
    t.push_back(IntegerRow("Setting", "uot", KX_AT(app.uot)));
    t.push_back(PerGame(IntegerRow("Setting", "Codepage", KX_AT(app.Codepage))));
    t.push_back(PerGame(IntegerRow("Setting", "Flood", KX_AT(app.Flood))));
    t.push_back(PerGame(IntegerRow("Setting", "FloodChk", KX_AT(app.FloodChk))));
    t.push_back(IntegerRow("Setting", "ClickThrough", KX_AT(app.ClickThrough)));

    t.push_back(IntegerRow("WindowsPos", "MainTop", KX_AT(window.top)));
    t.push_back(IntegerRow("WindowsPos", "MainLeft", KX_AT(window.left)));
    t.push_back(IntegerRow("WindowsPos", "MainHeight", KX_AT(window.height)));
    t.push_back(IntegerRow("WindowsPos", "MainWidth", KX_AT(window.width)));

    t.push_back(BackgroundRow());
    t.push_back(AlphaRow());
    t.push_back(BooleanRow("MainMenu", "Translation", KX_AT(window.translationChecked)));
    t.push_back(BooleanRow("MainMenu", "Aot", KX_AT(window.alwaysOnTopChecked)));

    t.push_back(HexTextRow("Agth", "Agthpath", KX_AT(app.Agthpath)));
    t.push_back(TextRow("Agth", "AgthAToption", KX_AT(app.AgthAToption)));
    t.push_back(IntegerRow("Agth", "AgthATrun", KX_AT(app.AgthATrun)));

    AddShortcutRows(t);

    t.push_back(PerGame(IntegerRow("Filters", "RepeatChars", KX_AT(app.Filters.RepeatChars))));
    t.push_back(PerGame(IntegerRow("Filters", "RepeatPhrase", KX_AT(app.Filters.RepeatPhrase))));
    t.push_back(PerGame(IntegerRow("Filters", "SkipRepeat", KX_AT(app.Filters.SkipRepeat))));
    t.push_back(PerGame(PairListRow("Substitutions", "B", KX_AT(app.Filters.before), &Substitution::find,
                                    &Substitution::replace)));
    t.push_back(PerGame(PairListRow("Substitutions", "A", KX_AT(app.Filters.after), &Substitution::find,
                                    &Substitution::replace)));

    // A missing hotkey is the default one; an empty value is none.
    t.push_back(TextRow("Hotkeys", "Monitoring", KX_AT(app.Hotkeys.Monitoring)));
    t.push_back(TextRow("Hotkeys", "Translation", KX_AT(app.Hotkeys.Translation)));
    t.push_back(TextRow("Hotkeys", "Subtitle", KX_AT(app.Hotkeys.Subtitle)));
    t.push_back(TextRow("Hotkeys", "ClickThrough", KX_AT(app.Hotkeys.ClickThrough)));
    t.push_back(TextRow("Hotkeys", "ShowHide", KX_AT(app.Hotkeys.ShowHide)));
    t.push_back(TextRow("Hotkeys", "Retranslate", KX_AT(app.Hotkeys.Retranslate)));
    t.push_back(TextRow("Hotkeys", "HideUntilNext", KX_AT(app.Hotkeys.HideUntilNext)));

    t.push_back(PerGame(ChoiceRow<EngineKind>("Engine", "Kind", KX_AT(app.Engine),
                                                {kEngineKindEzTrans, kEngineKindServer, kEngineKindDeepL,
                                                 kEngineKindPapago})));
    t.push_back(PerGame(TextRow("Engine", "Url", KX_AT(app.Server.url))));
    t.push_back(PerGame(TextRow("Engine", "Model", KX_AT(app.Server.model))));
    t.push_back(PerGame(HexTextRow("Engine", "Prompt", KX_AT(app.Server.prompt))));
    t.push_back(PerGame(IntegerRow("Engine", "TimeoutS", KX_AT(app.Server.timeoutSeconds), kMinServerTimeoutSeconds,
                                   kMaxServerTimeoutSeconds)));
    t.push_back(TextRow("Engine", "ApiKey", KX_AT(app.ServerApiKey), StoredForm::Secret));
    t.push_back(PerGame(IntegerRow("Engine", "ContextLines", KX_AT(app.Server.contextLines), 0, kMaxContextLines)));
    t.push_back(PerGame(IntegerRow("Engine", "ContextTranslations", KX_AT(app.Server.contextTranslations))));
    t.push_back(PerGame(IntegerRow("Engine", "Stream", KX_AT(app.Server.stream))));
    t.push_back(PerGame(IntegerRow("Engine", "MaxTokens", KX_AT(app.Server.maxTokens), kMinMaxTokens, kMaxMaxTokens)));
    t.push_back(PerGame(OtherEngineRow("Engine", "Draft", KX_AT(app.DraftEngine))));
    t.push_back(PerGame(OtherEngineRow("Engine", "Fallback", KX_AT(app.FallbackEngine))));
    t.push_back(PerGame(IntegerRow("Engine", "KeepDraft", KX_AT(app.KeepDraft))));
    t.push_back(PerGame(PairListRow("Glossary", "G", KX_AT(app.Server.glossary), &GlossaryEntry::term,
                                    &GlossaryEntry::translation)));

    t.push_back(ColourRow("Subtitle", "OutlineColor", KX_AT(app.Subtitle.OutlineColor)));
    t.push_back(IntegerRow("Subtitle", "OutlineWidth", KX_AT(app.Subtitle.OutlineWidth), kMinOutlineWidth,
                           kMaxOutlineWidth));
    t.push_back(IntegerRow("Subtitle", "Shadow", KX_AT(app.Subtitle.Shadow)));
    t.push_back(ChoiceRow<StripAlign>("Subtitle", "Align", KX_AT(app.Subtitle.Align), {"Bottom", "Top"}, true));

    t.push_back(PerGame(ChoiceRow<TextSource>("Capture", "Source", KX_AT(app.Source),
                                              {kTextSourceClipboard, kTextSourceWebSocket, kTextSourceBoth,
                                               kTextSourceNone})));
    t.push_back(PerGame(TextRow("Capture", "WebSocketUrl", KX_AT(app.WebSocketUrl))));
    t.push_back(PerGame(TextRow("Capture", "WebSocketUrl2", KX_AT(app.MoreWebSocketUrls[0]))));
    t.push_back(PerGame(TextRow("Capture", "WebSocketUrl3", KX_AT(app.MoreWebSocketUrls[1]))));
    t.push_back(PerGame(TextRow("Capture", "WebSocketUrl4", KX_AT(app.MoreWebSocketUrls[2]))));

    t.push_back(FontRow());
    t.push_back(PerGame(IntegerRow("Setting", "GetTextMethod", KX_AT(app.GetTextMethod), 1, 4)));
    t.push_back(IntegerRow("Setting", "History", KX_AT(app.History)));
    t.push_back(HexTextRow("Profile", "Active", KX_AT(app.ActiveProfile)));

    t.push_back(PerGame(TextRow("DeepL", "Url", KX_AT(app.DeepL.url))));
    t.push_back(TextRow("DeepL", "ApiKey", KX_AT(app.DeepLApiKey), StoredForm::Secret));
    t.push_back(PerGame(TextRow("Papago", "Url", KX_AT(app.Papago.url))));
    t.push_back(PerGame(TextRow("Papago", "KeyId", KX_AT(app.Papago.keyId))));
    t.push_back(TextRow("Papago", "ApiKey", KX_AT(app.PapagoApiKey), StoredForm::Secret));
    t.push_back(PerGame(IntegerRow("Papago", "Honorific", KX_AT(app.Papago.honorific))));

    t.push_back(IntegerRow("Companion", "Enabled", KX_AT(app.Companion.Enabled)));
    t.push_back(IntegerRow("Companion", "Port", KX_AT(app.Companion.Port), 1, 65535));
    t.push_back(IntegerRow("Companion", "Lan", KX_AT(app.Companion.Lan)));
    return t;
}

#undef KX_AT

} // namespace

const std::vector<SettingRow>& SettingsTable()
{
    static const std::vector<SettingRow> table = MakeTable();
    return table;
}

} // namespace kx
