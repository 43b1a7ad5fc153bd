#pragma once
// The form of a game's translation memory and history on disk: UTF-8 text,
// one record per line, fields split by tabs; a tab, a line feed, a carriage
// return and a backslash inside a field are written \t, \n, \r and \\. The
// program ends its lines with CR LF; a line ending in LF alone (a file edited
// elsewhere) reads the same, and a byte-order mark at the start is skipped.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kx {

// One memory line: the source, a tab, the translation, CR LF.
std::string MemoryLine(std::u16string_view source, std::u16string_view translation);
// One history line: `when` (YYYY-MM-DD HH:MM:SS), the source, what was shown.
std::string HistoryLine(std::string_view when, std::u16string_view source, std::u16string_view shown);

// Pairs by their source, the text kept once as UTF-8 in large blocks and
// found through views into them: a memory of a million lines costs little
// more than its text. A later pair for the same source takes its place.
class PairStore {
public:
    PairStore() = default;
    PairStore(PairStore&&) = default;
    PairStore& operator=(PairStore&&) = default;
    PairStore(const PairStore&) = delete;  // the views point into its own blocks
    PairStore& operator=(const PairStore&) = delete;

    void Put(std::string_view source, std::string_view translation);
    void Put(std::u16string_view source, std::u16string_view translation);
    std::optional<std::string_view> Find(std::string_view source) const;
    std::optional<std::u16string> Find(std::u16string_view source) const;
    std::size_t Size() const { return index_.size(); }
    template <class Visit> void ForEach(Visit visit) const
    {
        for (const auto& [source, translation] : index_)
            visit(source, translation);
    }

private:
    std::string_view Keep(std::string_view text);

    static constexpr std::size_t kBlockBytes = std::size_t{1} << 22;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockUsed_ = kBlockBytes;  // of the last block
    std::unordered_map<std::string_view, std::string_view> index_;
};

// A whole memory file: a later line for the same source wins.
struct MemoryContents {
    PairStore pairs;
    std::size_t lines = 0;       // lines that held a pair
    std::size_t unreadable = 0;  // lines skipped (empty lines are neither)
};
MemoryContents ReadMemory(std::string_view bytes);

// The file written again with one line per source (in no given order).
std::string CompactedMemory(const MemoryContents& memory);
// True when the file holds more than twice the lines it needs.
inline bool MemoryNeedsCompacting(const MemoryContents& memory)
{
    return memory.lines > 2 * memory.pairs.Size();
}

} // namespace kx
