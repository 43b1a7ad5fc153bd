#pragma once
// With the clipboard and WebSocket sources both on, a hooker that serves each
// line both ways would show it twice: a text from one equal to a text the
// other gave within half a second is the same line, shown once.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace kx {

enum class TextOrigin { Clipboard, WebSocket };

class SourceEcho {
public:
    static constexpr std::int64_t kWindowMs = 500;
    static constexpr std::size_t kMostKept = 1000;  // a burst's texts are compared with this many at most
    // True when the text is to be shown; false for the echo of a text the
    // other source gave within kWindowMs (each text has one echo at most).
    bool Pass(TextOrigin origin, const std::u16string& text, std::int64_t readAtMs);

private:
    struct Seen {
        TextOrigin origin;
        std::u16string text;
        std::int64_t atMs;
    };
    std::deque<Seen> recent_;  // within kWindowMs of the newest, oldest first
};

} // namespace kx
