#pragma once
// Each game's history (Games\<profile>\history.txt, or the (none) folder's):
// every captured line as it becomes final, with the local time, its source
// and what was shown, added to the file at once so that the program ending
// at any moment loses none of it. The program's own lines are no history.
#include "platform/game_folders_port.h"

#include <functional>
#include <string>

namespace kx {

inline constexpr const char16_t* kHistoryFileName = u"history.txt";

// What the capture pipeline tells of each line it has shown whole.
class LineHistory {
public:
    virtual ~LineHistory() = default;
    virtual void LineShown(const std::u16string& source, const std::u16string& shown) = 0;
};

class GameHistory : public LineHistory {
public:
    // `localTime`: the local date and time as YYYY-MM-DD HH:MM:SS.
    GameHistory(GameFoldersPort& folders, std::function<std::string()> localTime)
        : folders_(folders), localTime_(std::move(localTime))
    {
    }
    // The game (a profile's name, or kNoProfileFolder) whose history the next lines go to.
    void UseGame(const std::u16string& game) { game_ = game; }
    // Off: nothing is written.
    void SetOn(bool on) { on_ = on; }
    void LineShown(const std::u16string& source, const std::u16string& shown) override;

private:
    GameFoldersPort& folders_;
    std::function<std::string()> localTime_;
    std::u16string game_;
    bool on_ = true;
};

} // namespace kx
