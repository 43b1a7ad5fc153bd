#pragma once
// Text forms of the values kept in KestruneEX.ini: integers, booleans, hex
// text, colours (ColorText) and fonts (FontText). Every reader returns nullopt
// for text that does not convert; the caller then uses the key's default.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// A colour as a 32-bit pattern: 0x00BBGGRR for a plain colour, 0xFF000000 plus
// an index for a system colour (the index GetSysColor takes), and the two
// specials clNone 0x1FFFFFFF and clDefault 0x20000000.
using Color = std::uint32_t;

inline constexpr Color kClWindow = 0xFF000005;
inline constexpr Color kClWindowText = 0xFF000008;
inline constexpr Color kClBtnFace = 0xFF00000F;

inline bool IsSystemColor(Color color) { return (color & 0xFF000000u) == 0xFF000000u; }
inline int SystemColorIndex(Color color) { return static_cast<int>(color & 0x00FFFFFFu); }

// --- Integers and booleans -------------------------------------------------

// A whole number: leading blanks (space, tab), one sign, then decimal digits
// that fit a signed 32-bit integer, or "$", "x", "X", "0x" or "0X" and up to
// 32 bits of hexadecimal digits in either case (taken as a 32-bit pattern, so
// "$FFFFFFFF" is -1). Anything else, trailing characters included, fails.
std::optional<std::int32_t> ParseInteger(std::string_view text);
// The same without the hexadecimal forms: blanks, one sign, decimal digits.
std::optional<std::int32_t> ParseDecimalInteger(std::string_view text);
std::string IntegerText(std::int32_t value);

// A stored integer, or `fallback` when the value is missing or not a number.
std::int32_t ReadInteger(const std::optional<std::string>& value, std::int32_t fallback);
// A stored boolean: an integer with the fallback 1 or 0; any non-zero is true.
bool ReadBoolean(const std::optional<std::string>& value, bool fallback);
inline std::string BooleanText(bool value) { return value ? "1" : "0"; }
// A switch that is on when exactly 1, as a check box leaves it: a stored value
// that the box shows unchanged is kept (any value but 1 shows as off).
inline std::int32_t SwitchFromBox(bool checked, std::int32_t stored)
{
    if (checked == (stored == 1))
        return stored;
    return checked ? 1 : 0;
}

// --- Hex text --------------------------------------------------------------

// Four upper-case hexadecimal digits per UTF-16 code unit, nothing between.
std::string EncodeHexText(std::u16string_view text);
// Reads groups of four hexadecimal digits (either case); one to three
// characters left over at the end are ignored. nullopt when a group is not
// four hexadecimal digits.
std::optional<std::u16string> DecodeHexText(std::string_view hexText);

// --- ColorText -------------------------------------------------------------

// The colour's name when it has one, else "$" and eight upper-case digits.
std::string ColorText(Color color);
// A colour name in any case, else any integer as ParseInteger reads it.
std::optional<Color> ParseColorText(std::string_view text);
// The named colours, in table order.
struct NamedColor {
    std::string_view name;
    Color value;
};
inline constexpr int kNamedColorCount = 52;
const NamedColor* NamedColors();

// --- The subtitle strip's outline ------------------------------------------

// Outline widths in pixels at 96 dpi; 0 draws no outline.
inline constexpr std::int32_t kMinOutlineWidth = 0;
inline constexpr std::int32_t kMaxOutlineWidth = 8;
inline bool IsOutlineWidth(std::int32_t width) { return width >= kMinOutlineWidth && width <= kMaxOutlineWidth; }

// --- FontText --------------------------------------------------------------

enum class FontPitch { Default, Variable, Fixed };

// A font as the settings file keeps it. The character set is not kept: a
// loaded font always has the default character set.
struct FontDescription {
    std::string faceName;          // 8-bit text in the system's ANSI code page
    Color color = kClWindowText;
    std::int32_t sizePoints = 8;
    FontPitch pitch = FontPitch::Default;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;

    bool operator==(const FontDescription&) const = default;
};

// Font sizes in points, the font dialog's range.
inline constexpr std::int32_t kMinFontPoints = 1;
inline constexpr std::int32_t kMaxFontPoints = 1638;
// A stored size made usable: a negative size counts by its magnitude, 0 as
// the design size 8, and the rest is held to the range above, so that the size
// a font is given is the size written back at exit.
std::int32_t SoundFontPoints(std::int64_t points);
// The font height (negative: character height, in pixels) for a size at a
// screen's dots per inch, rounded as MulDiv rounds, and back to points. Both
// keep to the range above and never overflow.
std::int32_t FontHeightForPoints(std::int32_t points, int dpi);
std::int32_t FontPointsForHeight(std::int32_t height, int dpi);

// "Face,Colour,Size,Pitch,Styles", for example "Tahoma,clWindowText,8,d,".
std::string FontText(const FontDescription& font);
// nullopt when the text is malformed; the font in use is then kept. The size
// is made sound by SoundFontPoints.
std::optional<FontDescription> ParseFontText(std::string_view text);

} // namespace kx
