#include "translate/translation_memory.h"

#include "common/text.h"

#include <system_error>
#include <thread>
#include <utility>

namespace kx {
namespace {

constexpr const char16_t* kMemoryPrefix = u"Translation memory: ";

} // namespace

TranslationMemory::ReadFile TranslationMemory::Parse(FileReadResult file, std::u16string path)
{
    ReadFile read;
    read.readable = file.status != FileReadStatus::Failed;
    if (!read.readable) {
        read.lines.push_back(kMemoryPrefix + path + u" could not be read");
        return read;
    }
    read.contents = ReadMemory(file.bytes);
    if (read.contents.unreadable != 0)
        read.lines.push_back(kMemoryPrefix + Widen(std::to_string(read.contents.unreadable)) +
                             (read.contents.unreadable == 1 ? u" line of " : u" lines of ") + path +
                             u" could not be read");
    return read;
}

TranslationMemory::ReadFile TranslationMemory::Read(GameFoldersPort& folders, const std::u16string& game)
{
    return Parse(folders.ReadGameFile(game, kMemoryFileName), folders.GameFilePath(game, kMemoryFileName));
}

std::vector<std::u16string> TranslationMemory::Take(ReadFile file)
{
    if (!file.readable) {
        state_ = State::Unreadable;
        contents_ = MemoryContents();
        return std::move(file.lines);
    }
    // Kept while the file was read: in the file already, and newer.
    contents_.pairs.ForEach([&file](std::string_view source, std::string_view translation) {
        file.contents.pairs.Put(source, translation);
    });
    file.contents.lines += contents_.lines;
    contents_ = std::move(file.contents);
    state_ = State::Loaded;
    return std::move(file.lines);
}

std::vector<std::u16string> TranslationMemory::Load(const std::u16string& game)
{
    ++loads_;
    game_ = game;
    contents_ = MemoryContents();
    return Take(Read(folders_, game));
}

void TranslationMemory::LoadInBackground(const std::u16string& game, UiThreadPort& ui,
                                         std::function<void(std::vector<std::u16string>)> told)
{
    const std::uint64_t load = ++loads_;
    game_ = game;
    contents_ = MemoryContents();
    state_ = State::Loading;
    // The bytes here (one read); their lines, the long part, on a thread
    // that touches nothing of the program's but through the gate.
    FileReadResult file = folders_.ReadGameFile(game, kMemoryFileName);
    std::u16string path = folders_.GameFilePath(game, kMemoryFileName);
    try {
        std::thread([this, gate = gate_, &ui, load, file = std::move(file), path = std::move(path),
                     told = std::move(told)]() mutable {
            // Shared: posted work is copied, the pairs are not.
            auto read = std::make_shared<ReadFile>(Parse(std::move(file), std::move(path)));
            gate->Run([&] {
                ui.Post([this, load, read, told = std::move(told)]() mutable {
                    if (load == loads_)
                        told(Take(std::move(*read)));
                });
            });
        }).detach();
    } catch (const std::system_error&) {
        told(Take(Read(folders_, game)));  // no thread to spare: read here
    }
}

std::optional<std::u16string> TranslationMemory::Find(std::u16string_view source) const
{
    return contents_.pairs.Find(source);
}

void TranslationMemory::Remember(const std::u16string& source, const std::u16string& translation)
{
    if (state_ == State::Unreadable || source.empty() || translation.empty())
        return;
    if (contents_.pairs.Find(std::u16string_view(source)) == translation)
        return;  // nothing new to keep
    if (!folders_.AppendGameFile(game_, kMemoryFileName, MemoryLine(source, translation)))
        return;
    contents_.pairs.Put(std::u16string_view(source), std::u16string_view(translation));
    ++contents_.lines;
    // Lines that could not be read stay as long as the file is not written again.
    if (state_ == State::Loaded && MemoryNeedsCompacting(contents_) && contents_.unreadable == 0 &&
        folders_.ReplaceGameFile(game_, kMemoryFileName, CompactedMemory(contents_)))
        contents_.lines = contents_.pairs.Size();
}

} // namespace kx
