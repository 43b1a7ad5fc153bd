#include "translate/translation_memory.h"

#include "common/text.h"

namespace kx {
namespace {

constexpr const char16_t* kMemoryPrefix = u"Translation memory: ";

} // namespace

std::vector<std::u16string> TranslationMemory::Load(const std::u16string& game)
{
    game_ = game;
    contents_ = MemoryContents();
    std::vector<std::u16string> lines;
    const FileReadResult file = folders_.ReadGameFile(game, kMemoryFileName);
    loaded_ = file.status != FileReadStatus::Failed;
    if (!loaded_) {
        lines.push_back(kMemoryPrefix + folders_.GameFilePath(game, kMemoryFileName) + u" could not be read");
        return lines;
    }
    contents_ = ReadMemory(file.bytes);
    if (contents_.unreadable != 0)
        lines.push_back(kMemoryPrefix + Widen(std::to_string(contents_.unreadable)) +
                        (contents_.unreadable == 1 ? u" line of " : u" lines of ") +
                        folders_.GameFilePath(game, kMemoryFileName) + u" could not be read");
    return lines;
}

std::optional<std::u16string> TranslationMemory::Find(std::u16string_view source) const
{
    const auto found = contents_.pairs.find(std::u16string(source));
    if (found == contents_.pairs.end())
        return std::nullopt;
    return found->second;
}

void TranslationMemory::Remember(const std::u16string& source, const std::u16string& translation)
{
    if (!loaded_ || source.empty() || translation.empty())
        return;
    const auto known = contents_.pairs.find(source);
    if (known != contents_.pairs.end() && known->second == translation)
        return;  // nothing new to keep
    if (!folders_.AppendGameFile(game_, kMemoryFileName, MemoryLine(source, translation)))
        return;
    contents_.pairs.insert_or_assign(source, translation);
    ++contents_.lines;
    // Lines that could not be read stay as long as the file is not written again.
    if (MemoryNeedsCompacting(contents_) && contents_.unreadable == 0 &&
        folders_.ReplaceGameFile(game_, kMemoryFileName, CompactedMemory(contents_)))
        contents_.lines = contents_.pairs.size();
}

} // namespace kx
