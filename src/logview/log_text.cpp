#include "logview/log_text.h"

#include "common/text.h"

#include <algorithm>
#include <cstring>

namespace kx {
namespace {

// True when `offset` falls between two units that belong together: the halves
// of a surrogate pair or of a CR LF.
bool SplitsPair(const std::u16string& text, std::size_t offset)
{
    if (offset == 0 || offset >= text.size())
        return false;
    const char16_t before = text[offset - 1];
    const char16_t after = text[offset];
    return (IsHighSurrogate(before) && IsLowSurrogate(after)) || (before == u'\r' && after == u'\n');
}

} // namespace

bool LogText::EndsWithLineBreak() const
{
    const std::size_t n = text_.size();
    return n >= 2 && text_[n - 2] == u'\r' && text_[n - 1] == u'\n';
}

void LogText::Insert(std::size_t position, std::u16string_view text)
{
    if (text.empty())
        return;
    position = std::min(position, text_.size());
    // Grown by half again ahead of need, so that appends stay amortised
    // constant time also after one huge text (which alone would fit exactly).
    const std::size_t needed = text_.size() + text.size();
    if (needed > text_.capacity())
        text_.reserve(needed + needed / 2);
    text_.insert(position, text);
    // A CR just before the insertion point may have lost its LF or gained one.
    IndexFrom(position == 0 ? 0 : position - 1);
    ++revision_;
}

void LogText::Replace(std::size_t position, std::size_t length, std::u16string_view text)
{
    position = std::min(position, text_.size());
    text_.replace(position, std::min(length, text_.size() - position), text);
    // A CR just before the change may have lost its LF or gained one.
    IndexFrom(position == 0 ? 0 : position - 1);
    ++revision_;
}

void LogText::Assign(std::u16string text)
{
    text_ = std::move(text);
    lineStarts_.assign(1, 0);
    IndexFrom(0);
    ++revision_;
}

// Forgets every line break whose CR lies at or behind `offset` and finds them
// again in the text from there on.
void LogText::IndexFrom(std::size_t offset)
{
    const auto firstStale = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset + 1);
    lineStarts_.erase(firstStale, lineStarts_.end());
    // memchr finds the CR's low byte fast; a unit whose low byte only looks
    // like it (or an odd address) is passed over by the check below.
    const std::size_t n = text_.size();
    const char* bytes = reinterpret_cast<const char*>(text_.data());
    for (std::size_t i = offset; i + 1 < n;) {
        const void* found = std::memchr(bytes + 2 * i, '\r', 2 * (n - 1 - i));
        if (!found)
            break;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
        i = at / 2;
        if (at % 2 == 0 && text_[i] == u'\r' && text_[i + 1] == u'\n') {
            lineStarts_.push_back(i + 2);
            i += 2;
        } else {
            i += 1;
        }
    }
}

std::size_t LogText::LineCount() const
{
    // A closing CR LF leaves a start at the very end that opens no line.
    return lineStarts_.back() == text_.size() ? lineStarts_.size() - 1 : lineStarts_.size();
}

std::size_t LogText::LineStart(std::size_t line) const
{
    return line < LineCount() ? lineStarts_[line] : text_.size();
}

std::size_t LogText::LineEnd(std::size_t line) const
{
    if (line >= LineCount())
        return text_.size();
    return line + 1 < lineStarts_.size() ? lineStarts_[line + 1] - 2 : text_.size();
}

std::size_t LogText::LineOfOffset(std::size_t offset) const
{
    const std::size_t count = LineCount();
    if (count == 0)
        return 0;
    const auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    const auto line = static_cast<std::size_t>(after - lineStarts_.begin()) - 1;
    return std::min(line, count - 1);
}

LogSelection SelectionAfterEdit(LogSelection selection, std::size_t position, std::size_t removed,
                                std::size_t inserted)
{
    const auto moved = [&](std::size_t offset) {
        if (offset <= position)
            return offset;
        return offset >= position + removed ? offset - removed + inserted : position;
    };
    return {moved(selection.anchor), moved(selection.caret)};
}

std::u16string SelectedText(const LogText& text, LogSelection selection)
{
    const std::u16string& all = text.Text();
    std::size_t begin = std::min(selection.Begin(), all.size());
    std::size_t end = std::min(selection.End(), all.size());
    if (begin == end)
        return {};
    if (SplitsPair(all, begin))
        --begin;
    if (SplitsPair(all, end))
        ++end;
    return all.substr(begin, end - begin);
}

} // namespace kx
