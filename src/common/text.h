#pragma once
// Small conversions between the program's 8-bit ASCII literals and UTF-16.
#include <string>
#include <string_view>

namespace kx {

// Widens ASCII (or Latin-1) bytes one to one; for the program's own fixed texts.
inline std::u16string Widen(std::string_view ascii)
{
    std::u16string out;
    out.reserve(ascii.size());
    for (unsigned char c : ascii)
        out.push_back(static_cast<char16_t>(c));
    return out;
}

// Narrows UTF-16 that is known to be ASCII; other units become '?'.
inline std::string NarrowAscii(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text)
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

// The value of a hexadecimal digit (either case), or -1.
inline int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Folds only the ASCII letters A to Z, whatever the code page.
inline char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string LowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// True when a cut at `at` (0 < at < size) would part the halves of a surrogate pair.
inline bool CutsPair(std::u16string_view text, std::size_t at)
{
    return IsLowSurrogate(text[at]) && IsHighSurrogate(text[at - 1]);
}

// The UTF-16 units of the character at `i`: 2 for a whole surrogate pair,
// otherwise 1 (also for a surrogate without its other half).
inline std::size_t CharacterUnits(std::u16string_view text, std::size_t i)
{
    return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
}

// The character at `i`: a whole surrogate pair as one code point (2 units);
// a surrogate without its other half as it stands (1 unit).
struct CodePoint {
    char32_t value;
    std::size_t units;
};
inline CodePoint CodePointAt(std::u16string_view text, std::size_t i)
{
    if (CharacterUnits(text, i) == 2)
        return {0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00),
                2};
    return {text[i], 1};
}

} // namespace kx
