#include "settings/value_encodings.h"

#include "common/text.h"

#include <algorithm>
#include <array>

namespace kx {

namespace {

constexpr std::array<NamedColor, kNamedColorCount> kNamedColors{{
    {"clBlack", 0x00000000},
    {"clMaroon", 0x00000080},
    {"clGreen", 0x00008000},
    {"clOlive", 0x00008080},
    {"clNavy", 0x00800000},
    {"clPurple", 0x00800080},
    {"clTeal", 0x00808000},
    {"clGray", 0x00808080},
    {"clSilver", 0x00C0C0C0},
    {"clRed", 0x000000FF},
    {"clLime", 0x0000FF00},
    {"clYellow", 0x0000FFFF},
    {"clBlue", 0x00FF0000},
    {"clFuchsia", 0x00FF00FF},
    {"clAqua", 0x00FFFF00},
    {"clWhite", 0x00FFFFFF},
    {"clMoneyGreen", 0x00C0DCC0},
    {"clSkyBlue", 0x00F0CAA6},
    {"clCream", 0x00F0FBFF},
    {"clMedGray", 0x00A4A0A0},
    {"clNone", 0x1FFFFFFF},
    {"clDefault", 0x20000000},
    {"clScrollBar", 0xFF000000},
    {"clBackground", 0xFF000001},
    {"clActiveCaption", 0xFF000002},
    {"clInactiveCaption", 0xFF000003},
    {"clMenu", 0xFF000004},
    {"clWindow", 0xFF000005},
    {"clWindowFrame", 0xFF000006},
    {"clMenuText", 0xFF000007},
    {"clWindowText", 0xFF000008},
    {"clCaptionText", 0xFF000009},
    {"clActiveBorder", 0xFF00000A},
    {"clInactiveBorder", 0xFF00000B},
    {"clAppWorkSpace", 0xFF00000C},
    {"clHighlight", 0xFF00000D},
    {"clHighlightText", 0xFF00000E},
    {"clBtnFace", 0xFF00000F},
    {"clBtnShadow", 0xFF000010},
    {"clGrayText", 0xFF000011},
    {"clBtnText", 0xFF000012},
    {"clInactiveCaptionText", 0xFF000013},
    {"clBtnHighlight", 0xFF000014},
    {"cl3DDkShadow", 0xFF000015},
    {"cl3DLight", 0xFF000016},
    {"clInfoText", 0xFF000017},
    {"clInfoBk", 0xFF000018},
    {"clHotLight", 0xFF00001A},
    {"clGradientActiveCaption", 0xFF00001B},
    {"clGradientInactiveCaption", 0xFF00001C},
    {"clMenuHighlight", 0xFF00001D},
    {"clMenuBar", 0xFF00001E},
}};

} // namespace

// --- Integers and booleans -------------------------------------------------

namespace {

std::optional<std::int32_t> ParseWholeNumber(std::string_view text, bool hexAllowed)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (!hexAllowed) {
        // Decimal digits only.
    } else if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size())
        return std::nullopt;   // no digits

    std::uint64_t magnitude = 0;
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    for (; i < text.size(); ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0 || (!hex && digit > 9))
            return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > limit)
            return std::nullopt;
    }
    // Two's complement arithmetic on the 32-bit pattern: "-$FFFFFFFF" is 1.
    std::uint32_t pattern = static_cast<std::uint32_t>(magnitude);
    if (negative)
        pattern = 0u - pattern;
    return static_cast<std::int32_t>(pattern);
}

} // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) { return ParseWholeNumber(text, true); }

std::optional<std::int32_t> ParseDecimalInteger(std::string_view text) { return ParseWholeNumber(text, false); }

std::string IntegerText(std::int32_t value) { return std::to_string(value); }

std::int32_t ReadInteger(const std::optional<std::string>& value, std::int32_t fallback)
{
    if (!value)
        return fallback;
    return ParseInteger(*value).value_or(fallback);
}

bool ReadBoolean(const std::optional<std::string>& value, bool fallback)
{
    return ReadInteger(value, fallback ? 1 : 0) != 0;
}

// --- Hex text --------------------------------------------------------------

std::string EncodeHexText(std::u16string_view text)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 4);
    for (char16_t unit : text) {
        out.push_back(kDigits[(unit >> 12) & 0xF]);
        out.push_back(kDigits[(unit >> 8) & 0xF]);
        out.push_back(kDigits[(unit >> 4) & 0xF]);
        out.push_back(kDigits[unit & 0xF]);
    }
    return out;
}

std::optional<std::u16string> DecodeHexText(std::string_view hexText)
{
    const std::size_t groups = hexText.size() / 4;
    std::u16string out;
    out.reserve(groups);
    for (std::size_t g = 0; g < groups; ++g) {
        unsigned value = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int digit = HexDigitValue(hexText[g * 4 + k]);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        out.push_back(static_cast<char16_t>(value));
    }
    return out;
}

// --- ColorText -------------------------------------------------------------

const NamedColor* NamedColors() { return kNamedColors.data(); }

std::string ColorText(Color color)
{
    for (const NamedColor& named : kNamedColors)
        if (named.value == color)
            return std::string(named.name);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out = "$";
    for (int shift = 28; shift >= 0; shift -= 4)
        out.push_back(kDigits[(color >> shift) & 0xF]);
    return out;
}

std::optional<Color> ParseColorText(std::string_view text)
{
    for (const NamedColor& named : kNamedColors)
        if (EqualsIgnoringAsciiCase(named.name, text))
            return named.value;
    if (const auto number = ParseInteger(text))
        return static_cast<Color>(*number);
    return std::nullopt;
}

// --- FontText --------------------------------------------------------------

std::int32_t SoundFontPoints(std::int64_t points)
{
    if (points < 0)
        points = -points;
    if (points == 0)
        return 8;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(points, kMinFontPoints, kMaxFontPoints));
}

namespace {

// a * b / c rounded half away from zero, for non-negative a, b and positive c.
std::int64_t ScaleRounded(std::int64_t a, std::int64_t b, std::int64_t c) { return (a * b + c / 2) / c; }

int SoundDpi(int dpi) { return dpi > 0 ? dpi : 96; }

} // namespace

std::int32_t FontHeightForPoints(std::int32_t points, int dpi)
{
    return static_cast<std::int32_t>(-ScaleRounded(SoundFontPoints(points), SoundDpi(dpi), 72));
}

std::int32_t FontPointsForHeight(std::int32_t height, int dpi)
{
    const std::int64_t magnitude = height < 0 ? -static_cast<std::int64_t>(height) : height;
    return SoundFontPoints(ScaleRounded(magnitude, 72, SoundDpi(dpi)));
}

std::string FontText(const FontDescription& font)
{
    std::string out = font.faceName;
    out += ',';
    out += ColorText(font.color);
    out += ',';
    out += IntegerText(font.sizePoints);
    out += ',';
    out += font.pitch == FontPitch::Variable ? 'v' : font.pitch == FontPitch::Fixed ? 'f' : 'd';
    out += ',';
    if (font.bold)
        out += 'b';
    if (font.italic)
        out += 'i';
    if (font.underline)
        out += 'u';
    if (font.strikeout)
        out += 's';
    return out;
}

std::optional<FontDescription> ParseFontText(std::string_view text)
{
    // Takes the text before the first comma and drops it with the comma.
    auto nextField = [&text]() -> std::optional<std::string_view> {
        const std::size_t comma = text.find(',');
        if (comma == std::string_view::npos)
            return std::nullopt;
        const std::string_view field = text.substr(0, comma);
        text.remove_prefix(comma + 1);
        return field;
    };

    const auto face = nextField();
    if (!face)
        return std::nullopt;
    FontDescription font;   // default pitch, no style
    font.faceName = std::string(*face);

    const auto colorField = nextField();
    if (!colorField)
        return std::nullopt;
    const auto color = ParseColorText(*colorField);
    if (!color)
        return std::nullopt;
    font.color = *color;

    const auto sizeField = nextField();
    if (!sizeField)
        return std::nullopt;
    const auto size = ParseInteger(*sizeField);
    if (!size)
        return std::nullopt;
    font.sizePoints = SoundFontPoints(*size);

    const auto pitchField = nextField();
    if (!pitchField)
        return std::nullopt;
    if (*pitchField == "d")
        font.pitch = FontPitch::Default;
    else if (*pitchField == "v")
        font.pitch = FontPitch::Variable;
    else if (*pitchField == "f")
        font.pitch = FontPitch::Fixed;

    for (char c : text) {
        switch (c) {
        case 'b': font.bold = true; break;
        case 'i': font.italic = true; break;
        case 'u': font.underline = true; break;
        case 's': font.strikeout = true; break;
        default: break;
        }
    }
    return font;
}

} // namespace kx
