#include "logview/wrap.h"

#include "common/text.h"

#include <algorithm>

namespace kx {
namespace {

bool IsSpace(char32_t c) { return c == U' ' || c == U'\t'; }

} // namespace

bool IsCjkBreakable(char32_t c)
{
    struct Range {
        char32_t first, last;
    };
    static constexpr Range kRanges[] = {
        {0x1100, 0x11FF},    // Hangul jamo
        {0x2E80, 0x2FFF},    // CJK and Kangxi radicals, ideographic description
        {0x3000, 0x303F},    // CJK symbols and punctuation
        {0x3040, 0x30FF},    // hiragana, katakana
        {0x3100, 0x31FF},    // bopomofo, Hangul compatibility jamo, kanbun, strokes, katakana extension
        {0x3200, 0x33FF},    // enclosed CJK letters, CJK compatibility
        {0x3400, 0x4DBF},    // CJK ideographs extension A
        {0x4E00, 0x9FFF},    // CJK ideographs
        {0xA960, 0xA97F},    // Hangul jamo extended A
        {0xAC00, 0xD7FF},    // Hangul syllables, jamo extended B
        {0xF900, 0xFAFF},    // CJK compatibility ideographs
        {0xFE10, 0xFE1F},    // vertical forms
        {0xFE30, 0xFE4F},    // CJK compatibility forms
        {0xFF00, 0xFFEF},    // full-width forms, half-width katakana and Hangul
        {0x1B000, 0x1B16F},  // kana supplement and extensions
        {0x20000, 0x3FFFD},  // CJK ideographs extensions B and later
    };
    for (const Range& range : kRanges)
        if (c >= range.first && c <= range.last)
            return true;
    return false;
}

std::vector<std::size_t> WrapLine(std::u16string_view line, int width, CharacterMeasure& measure)
{
    std::vector<std::size_t> rows{0};
    std::size_t rowStart = 0;
    // Wide enough for any run of spaces hanging past the edge.
    long long rowWidth = 0;
    // Where the current row may end last, and the row's width up to there.
    std::size_t lastBreak = 0;
    long long widthAtBreak = 0;
    char32_t previous = 0;

    for (std::size_t offset = 0; offset < line.size();) {
        const CodePoint cp = CodePointAt(line, offset);
        const int w = std::max(0, measure.Width(cp.value));

        // A mark of no width stays with the character before it.
        if (offset > rowStart && w > 0 &&
            ((IsSpace(previous) && !IsSpace(cp.value)) || IsCjkBreakable(previous) || IsCjkBreakable(cp.value))) {
            lastBreak = offset;
            widthAtBreak = rowWidth;
        }
        // Spaces hang past the edge; a character of no width never opens a row.
        if (!IsSpace(cp.value) && w > 0) {
            while (offset > rowStart && rowWidth + w > width) {
                const std::size_t next = lastBreak > rowStart ? lastBreak : offset;
                rowWidth = next == offset ? 0 : rowWidth - widthAtBreak;
                rows.push_back(next);
                rowStart = next;
                lastBreak = rowStart;
                widthAtBreak = 0;
            }
        }
        rowWidth += w;
        previous = cp.value;
        offset += cp.units;
    }
    return rows;
}

} // namespace kx
