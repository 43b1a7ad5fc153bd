#include "logview/log_layout.h"

#include "common/text.h"

#include <algorithm>

namespace kx {
namespace {

// Chunks kept at most; beyond it the cache starts again (a scroll through a
// huge log does not keep every row it passed).
constexpr std::size_t kMaxCachedChunks = 4096;

} // namespace

void LogLayout::Reset(int width)
{
    width_ = width > 0 ? width : 1;
    chunks_.clear();
}

void LogLayout::ForgetFrom(std::size_t offset)
{
    std::erase_if(chunks_, [offset](const auto& entry) { return entry.second.end >= offset; });
}

std::size_t LogLayout::ChunkBoundary(std::size_t line, std::size_t index) const
{
    const std::size_t start = text_.LineStart(line);
    const std::size_t end = text_.LineEnd(line);
    std::size_t boundary = std::min(end, start + index * kChunkUnits);
    // Never between the halves of a surrogate pair.
    const std::u16string& text = text_.Text();
    if (boundary > start && boundary < end && CutsPair(text, boundary))
        ++boundary;
    return boundary;
}

const LogLayout::Chunk& LogLayout::ChunkAt(std::size_t line, std::size_t offset)
{
    const std::size_t lineStart = text_.LineStart(line);
    const std::size_t lineEnd = text_.LineEnd(line);
    offset = std::clamp(offset, lineStart, lineEnd);
    std::size_t index = (offset - lineStart) / kChunkUnits;
    if (index > 0 && offset < ChunkBoundary(line, index))
        --index;
    const std::size_t start = ChunkBoundary(line, index);
    std::size_t end = ChunkBoundary(line, index + 1);
    // The last chunk of a line ends with the line; an offset at a chunk's
    // end belongs to it only at the line's end.
    if (offset == end && end < lineEnd) {
        ++index;
        return ChunkAt(line, ChunkBoundary(line, index));
    }
    auto found = chunks_.find(start);
    if (found != chunks_.end() && found->second.end == end)
        return found->second;
    if (chunks_.size() >= kMaxCachedChunks)
        chunks_.clear();
    Chunk chunk;
    chunk.start = start;
    chunk.end = end;
    const std::u16string_view units = std::u16string_view(text_.Text()).substr(start, end - start);
    for (std::size_t rowStart : WrapLine(units, width_, measure_))
        chunk.rowStarts.push_back(start + rowStart);
    return chunks_[start] = std::move(chunk);
}

LogLayout::Row LogLayout::RowOf(const Chunk& chunk, std::size_t index)
{
    const std::size_t end = index + 1 < chunk.rowStarts.size() ? chunk.rowStarts[index + 1] : chunk.end;
    return Row{chunk.rowStarts[index], end};
}

std::optional<LogLayout::Row> LogLayout::RowAt(std::size_t offset)
{
    if (text_.LineCount() == 0)
        return std::nullopt;
    offset = std::min(offset, text_.Length());
    const std::size_t line = text_.LineOfOffset(offset);
    const Chunk& chunk = ChunkAt(line, offset);
    const std::size_t clamped = std::clamp(offset, chunk.start, chunk.end);
    // The last row that starts at or before the offset.
    const auto after = std::upper_bound(chunk.rowStarts.begin(), chunk.rowStarts.end(), clamped);
    const std::size_t index = after == chunk.rowStarts.begin() ? 0 : static_cast<std::size_t>(after - chunk.rowStarts.begin()) - 1;
    return RowOf(chunk, index);
}

std::optional<LogLayout::Row> LogLayout::Next(const Row& row)
{
    const std::size_t line = text_.LineOfOffset(row.start);
    const Chunk& chunk = ChunkAt(line, row.start);
    const auto here = std::lower_bound(chunk.rowStarts.begin(), chunk.rowStarts.end(), row.start);
    const std::size_t index = static_cast<std::size_t>(here - chunk.rowStarts.begin());
    if (index + 1 < chunk.rowStarts.size())
        return RowOf(chunk, index + 1);
    if (chunk.end < text_.LineEnd(line))
        return RowOf(ChunkAt(line, chunk.end), 0);
    if (line + 1 < text_.LineCount())
        return RowOf(ChunkAt(line + 1, text_.LineStart(line + 1)), 0);
    return std::nullopt;
}

std::optional<LogLayout::Row> LogLayout::Previous(const Row& row)
{
    const std::size_t line = text_.LineOfOffset(row.start);
    const Chunk& chunk = ChunkAt(line, row.start);
    const auto here = std::lower_bound(chunk.rowStarts.begin(), chunk.rowStarts.end(), row.start);
    const std::size_t index = static_cast<std::size_t>(here - chunk.rowStarts.begin());
    if (index > 0)
        return RowOf(chunk, index - 1);
    if (chunk.start > text_.LineStart(line)) {
        const Chunk& before = ChunkAt(line, chunk.start - 1);
        return RowOf(before, before.rowStarts.size() - 1);
    }
    if (line == 0)
        return std::nullopt;
    const Chunk& before = ChunkAt(line - 1, text_.LineEnd(line - 1));
    return RowOf(before, before.rowStarts.size() - 1);
}

int LogLayout::CountRows(int limit)
{
    int count = 0;
    for (std::optional<Row> row = First(); row && count < limit; row = Next(*row))
        ++count;
    return count;
}

std::size_t LogLayout::OffsetAtX(const Row& row, int x)
{
    const std::u16string& text = text_.Text();
    int left = 0;
    for (std::size_t i = row.start; i < row.end;) {
        const CodePoint character = CodePointAt(text, i);
        const int width = measure_.Width(character.value);
        if (x < left + width / 2)
            return i;
        left += width;
        i += character.units;
    }
    return row.end;
}

int LogLayout::XOfOffset(const Row& row, std::size_t offset)
{
    const std::u16string& text = text_.Text();
    int left = 0;
    for (std::size_t i = row.start; i < row.end && i < offset;) {
        const CodePoint character = CodePointAt(text, i);
        left += measure_.Width(character.value);
        i += character.units;
    }
    return left;
}

} // namespace kx
