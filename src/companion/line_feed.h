#pragma once
// What the reading companion's clients get of the captured lines: each
// line's source the moment it is captured, its translation once final, and
// every change of what it shows as JSON; and, for a client that connects,
// the latest state of the last lines.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

enum class Endpoint { Source, Translation, Lines };

struct FeedMessage {
    Endpoint endpoint = Endpoint::Lines;
    std::string text;  // UTF-8, one WebSocket text message
};

struct LineState {
    std::uint64_t id = 0;
    std::u16string source;
    std::u16string shown;
    bool final = false;
    std::u16string game;  // the game profile in force when it was captured
};

// {"id":n,"source":"…","shown":"…","final":true|false,"game":"…"}
std::string LineJson(const LineState& line);

// What a client gets of a text: at most this many UTF-16 units (a capture of
// megabytes would fill every client's queue and the backlog), never cut
// inside a surrogate pair.
inline constexpr std::size_t kMaxServedUnits = 65536;
std::u16string ServedText(std::u16string_view text);

class LineFeed {
public:
    static constexpr std::size_t kBacklogLines = 200;
    // Pieces of an answer written as it streams go out at most this often a line.
    static constexpr std::int64_t kPieceGapMs = 100;

    void Captured(std::uint64_t id, std::u16string source, std::u16string game, std::vector<FeedMessage>& out);
    void Shown(std::uint64_t id, const std::u16string& source, std::u16string shown, bool final, std::int64_t nowMs,
               std::vector<FeedMessage>& out);
    // The pieces held back whose time has come.
    void SendDue(std::int64_t nowMs, std::vector<FeedMessage>& out);
    // When SendDue has something to send; none: nothing held.
    std::optional<std::int64_t> NextDueMs() const;
    // A new /lines client's first messages: the last lines as they stand, oldest first.
    std::vector<std::string> Backlog() const;

private:
    struct Line {
        LineState state;
        bool translationSent = false;   // its final form went to /translation
        std::int64_t pieceSentMs = 0;   // when its last piece went out
        bool pieceSent = false;
        bool pieceHeld = false;         // a newer piece than the one sent waits
    };
    Line* Find(std::uint64_t id);

    std::deque<Line> lines_;  // the last kBacklogLines, by id
};

} // namespace kx
