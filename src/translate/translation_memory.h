#pragma once
// Each game's translation memory, kept on disk beside its profile
// (Games\<profile>\memory.txt, or Games\(none)\memory.txt without one): a line
// whose source it holds is shown from it at once, without asking an engine,
// in this run and the next ones; every whole answer of the main engine goes
// into it as it is shown. A reader may edit the file while the program is
// closed. The UI thread's own.
#include "common/call_gate.h"
#include "platform/game_folders_port.h"
#include "platform/ui_thread_port.h"
#include "translate/memory_file.h"

#include <cstdint>
#include <functional>
#include <memory>
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
    // The same, read on a thread of its own so that a memory of a million
    // lines holds nothing up; until it is read the lines are asked of the
    // engines as usual, and what they answer meanwhile is kept. `told` gets
    // the lines for the log on the UI thread once it is read (never when
    // another Load came first).
    void LoadInBackground(const std::u16string& game, UiThreadPort& ui,
                          std::function<void(std::vector<std::u16string>)> told);
    // The program closes: a file still being read is told of no more.
    void StopLoading() { gate_->Close(); }

    std::optional<std::u16string> Find(std::u16string_view source) const override;
    // Added to the file at once; the file is written again, one line per
    // source and in one step, once it holds more than twice the lines it needs.
    void Remember(const std::u16string& source, const std::u16string& translation) override;
    std::size_t Size() const { return contents_.pairs.Size(); }

private:
    enum class State { Loading, Loaded, Unreadable };
    // The file as read (on any thread), and the lines for the log about it.
    struct ReadFile {
        bool readable = false;
        MemoryContents contents;
        std::vector<std::u16string> lines;
    };
    static ReadFile Read(GameFoldersPort& folders, const std::u16string& game);
    // The lines of a file read, in its place.
    static ReadFile Parse(FileReadResult file, std::u16string path);
    // What was read takes effect; the answers kept while it was read win.
    std::vector<std::u16string> Take(ReadFile file);

    GameFoldersPort& folders_;
    std::u16string game_;
    State state_ = State::Unreadable;  // a file that could not be read is never written
    std::uint64_t loads_ = 0;          // counts Load calls: a late read of an earlier one is dropped
    MemoryContents contents_;
    std::shared_ptr<CallGate> gate_ = std::make_shared<CallGate>();  // closed at exit
};

} // namespace kx
