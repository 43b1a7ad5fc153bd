#include "settings/advanced_settings.h"

#include "common/text.h"

namespace kx {

const std::array<CharacterSet, kCharacterSetCount>& CharacterSets()
{
    static constexpr std::array<CharacterSet, kCharacterSetCount> kSets{{
        {u"SHIFTJIS", 932},
        {u"HANGUL", 949},
        {u"DEFAULT", 1252},
        {u"EASTEUROPE", 1250},
        {u"GB2312", 936},
        {u"GREEK", 1253},
        {u"BALTIC", 1257},
        {u"CHINESEBIG5", 950},
        {u"TURKISH", 1254},
        {u"ARABIC", 1256},
        {u"HEBREW", 1255},
        {u"THAI", 874},
    }};
    return kSets;
}

std::optional<int> CharacterSetIndex(std::int32_t codePage)
{
    const auto& sets = CharacterSets();
    for (int i = 0; i < kCharacterSetCount; ++i)
        if (sets[i].codePage == codePage)
            return i;
    return std::nullopt;
}

WindowAlpha AlphaForTransparency(int position)
{
    return WindowAlpha{static_cast<std::uint8_t>(kTransparencyMax - position), position != 0};
}

int TransparencyForAlpha(WindowAlpha window)
{
    // Blending off is an opaque window, whatever the alpha value says.
    return window.blending ? kTransparencyMax - window.alpha : 0;
}

std::u16string TransparencyText(int position)
{
    const int percent = position * 100 / kTransparencyMax;
    std::u16string text;
    for (char c : std::to_string(percent))
        text.push_back(static_cast<char16_t>(c));
    text.push_back(u'%');
    return text;
}

bool LetterCountKeyAccepted(char16_t typed)
{
    return (typed >= u'0' && typed <= u'9') || typed == 8 || typed == 13 || typed == 25;
}

std::optional<std::int32_t> ParseLetterCount(std::u16string_view text)
{
    std::string narrow;
    for (char16_t c : text) {
        // The settings file's whole-number rule, hexadecimal forms included
        // (they can be pasted); nothing outside ASCII is a digit.
        if (c > 0x7F)
            return std::nullopt;
        narrow.push_back(static_cast<char>(c));
    }
    return ParseInteger(narrow);
}

std::u16string InvalidIntegerMessage(std::u16string_view text)
{
    return u"'" + std::u16string(text) + u"' is not a valid integer value";
}

std::optional<std::int32_t> ParseOutlineWidth(std::u16string_view text)
{
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    std::int32_t width = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        width = width * 10 + (c - u'0');
    }
    return IsOutlineWidth(width) ? std::optional<std::int32_t>(width) : std::nullopt;
}

AdvancedSettings::AdvancedSettings(AppSettings& settings, AdvancedSettingsHost& host)
    : settings_(settings), host_(host)
{
}

void AdvancedSettings::Open()
{
    controls_.newLineBetweenTexts = settings_.Ancete == 1;
    controls_.updateOriginalText = settings_.uot == 1;

    if (std::optional<int> index = CharacterSetIndex(settings_.Codepage))
        controls_.characterSet = index;
    else
        settings_.Codepage = 932;   // the list keeps the selection it had

    const WindowAlpha window = host_.MainWindowAlpha();
    const int position = TransparencyForAlpha(window);
    if (position != controls_.transparency)
        TrackBarChanged(position);
    controls_.transparencyText = TransparencyText(controls_.transparency);

    // Read after the track bar's rule, which may have changed them.
    const WindowAlpha now = host_.MainWindowAlpha();
    savedAlpha_ = now.alpha;
    savedBlending_ = now.blending;

    controls_.floodDetection = settings_.FloodChk == 1;
    controls_.letterCount = Widen(IntegerText(settings_.Flood));

    savedLook_ = settings_.Subtitle;
    controls_.outlineColor = settings_.Subtitle.OutlineColor;
    controls_.outlineWidth = Widen(IntegerText(settings_.Subtitle.OutlineWidth));
    controls_.shadow = settings_.Subtitle.ShadowOn();
    controls_.history = settings_.HistoryOn();
}

void AdvancedSettings::TrackBarChanged(int position)
{
    controls_.transparency = position;
    controls_.transparencyText = TransparencyText(position);
    host_.SetMainWindowAlpha(AlphaForTransparency(position));
}

OkResult AdvancedSettings::Ok()
{
    settings_.Ancete = controls_.newLineBetweenTexts ? 1 : 0;
    settings_.uot = controls_.updateOriginalText ? 1 : 0;
    settings_.FloodChk = controls_.floodDetection ? 1 : 0;
    settings_.History = controls_.history ? 1 : 0;
    const std::optional<std::int32_t> flood = ParseLetterCount(controls_.letterCount);
    if (!flood)
        return OkResult{false, InvalidIntegerMessage(controls_.letterCount)};
    settings_.Flood = *flood;
    settings_.Codepage = controls_.characterSet ? CharacterSets()[*controls_.characterSet].codePage : 932;
    return OkResult{true, std::nullopt};
}

void AdvancedSettings::Cancel()
{
    // The track bar's rule for the saved value: blending off at 255; and off
    // again when it was off at opening.
    host_.SetMainWindowAlpha(WindowAlpha{savedAlpha_, savedBlending_ && savedAlpha_ != 255});
    SetSubtitleLook(savedLook_);
}

void AdvancedSettings::OutlineColorChosen(Color color)
{
    controls_.outlineColor = color;
    SubtitleLook look = settings_.Subtitle;
    look.OutlineColor = color;
    SetSubtitleLook(look);
}

void AdvancedSettings::OutlineWidthTyped(std::u16string_view text)
{
    controls_.outlineWidth = std::u16string(text);
    if (const std::optional<std::int32_t> width = ParseOutlineWidth(text)) {
        SubtitleLook look = settings_.Subtitle;
        look.OutlineWidth = *width;
        SetSubtitleLook(look);
    }
}

void AdvancedSettings::OutlineWidthLeft()
{
    controls_.outlineWidth = Widen(IntegerText(settings_.Subtitle.OutlineWidth));
}

void AdvancedSettings::ShadowClicked(bool on)
{
    controls_.shadow = on;
    SubtitleLook look = settings_.Subtitle;
    look.Shadow = on ? 1 : 0;
    SetSubtitleLook(look);
}

// The strip is drawn again only when its look really changed.
void AdvancedSettings::SetSubtitleLook(const SubtitleLook& look)
{
    if (look == settings_.Subtitle)
        return;
    settings_.Subtitle = look;
    host_.SubtitleLookChanged();
}

} // namespace kx
