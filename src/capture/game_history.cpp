#include "capture/game_history.h"

#include "translate/memory_file.h"

namespace kx {

void GameHistory::LineShown(const std::u16string& source, const std::u16string& shown)
{
    if (on_ && !game_.empty())
        folders_.AppendGameFile(game_, kHistoryFileName, HistoryLine(localTime_(), source, shown));
}

} // namespace kx
