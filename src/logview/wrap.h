#pragma once
// Word wrap for the log view: where a line breaks into rows no wider than the
// view. Breaks fall between any two CJK characters, after spaces in other
// text, and inside a word only when the word alone is wider than a row. A
// surrogate pair is never split.
#include <cstddef>
#include <string_view>
#include <vector>

namespace kx {

// The width of one character in pixels, as the font draws it.
class CharacterMeasure {
public:
    virtual ~CharacterMeasure() = default;
    virtual int Width(char32_t character) = 0;
};

// Ideographs, kana, Hangul, full-width forms and CJK punctuation: a line may
// break before or after any of them.
bool IsCjkBreakable(char32_t character);

// The start offsets of the rows of `line` (no CR LF inside) at `width`
// pixels; the first row starts at 0, so an empty line has one row. A row
// holds at least one character, however narrow the view. Spaces at the end of
// a row stay in it (they are not drawn past the edge).
std::vector<std::size_t> WrapLine(std::u16string_view line, int width, CharacterMeasure& measure);

} // namespace kx
