#pragma once
// The log's text as the log view holds it: one UTF-16 buffer, lines separated
// by CR LF, with an index of where each line starts, so that appending is
// amortised constant time and finding a line is a binary search, whatever the
// log's length.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

class LogText {
public:
    std::size_t Length() const { return text_.size(); }
    const std::u16string& Text() const { return text_; }
    bool EndsWithLineBreak() const;

    // Inserts at unit offset `position` (clamped to the length). Cost: the
    // units behind `position` and the inserted ones, nothing else.
    void Insert(std::size_t position, std::u16string_view text);
    // Replaces the `length` units at `position` (both clamped to the text).
    void Replace(std::size_t position, std::size_t length, std::u16string_view text);
    void Reserve(std::size_t length) { text_.reserve(length); }
    void Assign(std::u16string text);
    void Clear() { Assign({}); }

    // Logical lines (separated by CR LF; a lone CR or LF is no break). An
    // empty text has 0 lines; a closing CR LF adds no empty last line.
    std::size_t LineCount() const;
    std::size_t LineStart(std::size_t line) const;
    // Behind the line's last character, before its CR LF.
    std::size_t LineEnd(std::size_t line) const;
    // The line that holds `offset` (an offset on a CR LF belongs to the line
    // before it; the end of the text to the last line).
    std::size_t LineOfOffset(std::size_t offset) const;

    // Counts every change, for caches of what is derived from the text.
    std::uint64_t Revision() const { return revision_; }

private:
    void IndexFrom(std::size_t offset);

    std::u16string text_;
    std::vector<std::size_t> lineStarts_{0};  // the first is always 0
    std::uint64_t revision_ = 0;
};

// A selection from `anchor` (where it began) to `caret` (where it ends now).
struct LogSelection {
    std::size_t anchor = 0;
    std::size_t caret = 0;
    std::size_t Begin() const { return anchor < caret ? anchor : caret; }
    std::size_t End() const { return anchor < caret ? caret : anchor; }
    bool Empty() const { return anchor == caret; }
};

// Where a selection stands after `removed` units at `position` were replaced
// by `inserted` units: before the change it stays, behind it it moves with
// the text, inside it it goes to the change's start.
LogSelection SelectionAfterEdit(LogSelection selection, std::size_t position, std::size_t removed,
                                std::size_t inserted);

// The units of the selection, clamped to the text; a surrogate pair or a
// CR LF cut in half at either end is taken whole.
std::u16string SelectedText(const LogText& text, LogSelection selection);

} // namespace kx
