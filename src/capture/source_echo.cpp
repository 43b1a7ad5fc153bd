#include "capture/source_echo.h"

#include <algorithm>

namespace kx {

bool SourceEcho::Pass(TextOrigin origin, const std::u16string& text, std::int64_t readAtMs)
{
    while (!recent_.empty() && readAtMs - recent_.front().atMs > kWindowMs)
        recent_.pop_front();
    const auto echoed = std::find_if(recent_.begin(), recent_.end(), [&](const Seen& seen) {
        return seen.origin != origin && seen.text == text;
    });
    if (echoed != recent_.end()) {
        recent_.erase(echoed);
        return false;
    }
    recent_.push_back({origin, text, readAtMs});
    if (recent_.size() > kMostKept)
        recent_.pop_front();
    return true;
}

} // namespace kx
