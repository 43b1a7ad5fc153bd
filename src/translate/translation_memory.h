#pragma once
// Each game's translation memory, kept on disk beside its profile
// (Games\<profile>\memory.txt, or Games\(none)\memory.txt without one): a line
// whose source it holds is shown from it at once, without asking an engine,
// in this run and the next ones; every whole answer of the main engine goes
// into it as it is shown. A reader may edit the file while the program is
// closed. The UI thread's own.
#include "platform/game_folders_port.h"
#include "translate/memory_file.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

inline constexpr const char16_t* kMemoryFileName = u"memory.txt";

// What the capture pipeline asks of a memory.
class AnswerMemory {
public:
    virtual ~AnswerMemory() = default;
    virtual std::optional<std::u16string> Find(std::u16string_view source) const = 0;
    virtual void Remember(const std::u16string& source, const std::u16string& translation) = 0;
};

class TranslationMemory : public AnswerMemory {
public:
    explicit TranslationMemory(GameFoldersPort& folders) : folders_(folders) {}

    // The memory of `game` (a profile's name, or kNoProfileFolder of game_profiles.h) from now
    // on, read whole; the file is never written here. Lines for the log: how
    // many lines of it could not be read, or that it could not be read at all.
    std::vector<std::u16string> Load(const std::u16string& game);

    std::optional<std::u16string> Find(std::u16string_view source) const override;
    // Added to the file at once; the file is written again, one line per
    // source and in one step, once it holds more than twice the lines it needs.
    void Remember(const std::u16string& source, const std::u16string& translation) override;
    std::size_t Size() const { return contents_.pairs.size(); }

private:
    GameFoldersPort& folders_;
    std::u16string game_;
    bool loaded_ = false;  // a file that could not be read is never written
    MemoryContents contents_;
};

} // namespace kx
