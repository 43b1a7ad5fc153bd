#pragma once
// What every engine that asks a service over HTTP does alike: the short
// pieces it holds, the reason for a failure written as one line for the
// log, at most one such line per ten seconds, the bound on what an answer
// shows, and the words for a key that stayed home.
#include "common/steady_clock.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

using MillisecondClock = std::function<std::int64_t()>;  // milliseconds, never going back

inline constexpr std::int64_t kServerNoticeGapMs = 10000;
// Short pieces are held for the next text as ezTrans holds them: what is,
// with the full stop it would get, at most two Shift-JIS bytes.
inline constexpr std::size_t kServerHeldBytes = 1;
inline constexpr const char* kApiKeyWithheld = "the API key is sent only over https or to this computer";
inline constexpr const char* kAnswerCutOff = "the answer was cut off: ";
inline constexpr const char* kAnswerTextEmpty = "the answer's text is empty";
// What one answer may show, in UTF-16 units; the rest is cut, and the
// request ends there.
inline constexpr std::size_t kMaxShownUnits = 65536;
inline constexpr const char* kAnswerTooLong = "longer than 65,536 characters";
inline constexpr std::size_t kMaxReasonLength = 200;

// A reason a server may have written: one line (line breaks and tabs become
// spaces) of at most kMaxReasonLength bytes and "...", never cut inside a
// UTF-8 character.
std::string OneLine(std::string reason);

// At most kMaxShownUnits, never cut inside a surrogate pair.
std::u16string Bounded(std::u16string shown);

// The reason for an answer whose status is not 200: "HTTP <n>", then what
// the status means when the engine knows it better than the code says
// (": <meaning>"), then what the service said, if anything
// (" (the server says: <message>)"). A redirect is never followed, and
// says so.
std::string HttpStatusReason(int status, std::string_view serviceMessage = {}, std::string_view meaning = {});

// A service that wants the key fails without it: the reason says why.
std::string WithWithheldKeyNote(std::string reason, bool keyWithheld);

// UTF-8 for a JSON string: a surrogate without its other half (never valid
// text) becomes U+FFFD, everything else survives.
std::string Utf8ForJson(std::u16string_view text);

// At most one failure line per kServerNoticeGapMs.
class NoticeGap {
public:
    // True when a line may go to the log at `nowMs`; the next one then
    // waits the whole gap.
    bool Allows(std::int64_t nowMs);

private:
    std::optional<std::int64_t> lastMs_;
};

} // namespace kx
