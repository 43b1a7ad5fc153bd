#pragma once
// The rows of the log at the view's width, worked out only for the part that
// is shown and kept until the width, the font or that part of the text
// changes. A very long line is laid out in chunks of its own, each starting a
// new row, so that no scroll or append ever wraps more than one chunk.
#include "logview/log_text.h"
#include "logview/wrap.h"

#include <cstddef>
#include <optional>
#include <unordered_map>
#include <vector>

namespace kx {

class LogLayout {
public:
    static constexpr std::size_t kChunkUnits = 16384;

    // A row of the text: [start, end), never holding a CR LF.
    struct Row {
        std::size_t start = 0;
        std::size_t end = 0;
        bool operator==(const Row&) const = default;
    };

    LogLayout(const LogText& text, CharacterMeasure& measure) : text_(text), measure_(measure) {}

    // A new width or font: every row is worked out again when asked for.
    void Reset(int width);
    // The text was replaced as a whole (not only appended to).
    void Forget() { chunks_.clear(); }
    // The text changed from `offset` on: what was laid out there is stale.
    void ForgetFrom(std::size_t offset);
    int Width() const { return width_; }

    // The row that holds `offset` (one on a CR LF: the row before it). An
    // empty text has no rows.
    std::optional<Row> RowAt(std::size_t offset);
    std::optional<Row> Next(const Row& row);
    std::optional<Row> Previous(const Row& row);
    std::optional<Row> First() { return RowAt(0); }
    std::optional<Row> Last() { return RowAt(text_.Length()); }
    // Rows from the start, counting no further than `limit`.
    int CountRows(int limit);

    // Within a row: the offset nearest to pixel `x`, and the pixel of an offset.
    std::size_t OffsetAtX(const Row& row, int x);
    int XOfOffset(const Row& row, std::size_t offset);

private:
    struct Chunk {
        std::size_t start = 0;
        std::size_t end = 0;
        std::vector<std::size_t> rowStarts;  // absolute offsets
    };
    // The chunk of `line` that holds `offset`, laid out.
    const Chunk& ChunkAt(std::size_t line, std::size_t offset);
    std::size_t ChunkBoundary(std::size_t line, std::size_t index) const;
    static Row RowOf(const Chunk& chunk, std::size_t index);

    const LogText& text_;
    CharacterMeasure& measure_;
    int width_ = 1;
    std::unordered_map<std::size_t, Chunk> chunks_;  // by start offset
};

} // namespace kx
