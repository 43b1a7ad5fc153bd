#pragma once
// When the WebSocket text source tries to connect, and what the log says of
// its connections: a connection when it is made and when it is lost, a
// failure to connect once until the next connection told. A server that
// drops each connection soon after it is made (one that serves a single
// client and turns the next away) is told of once a minute, not at each try.
#include "platform/clock_port.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

class ReconnectSchedule {
public:
    static constexpr std::int64_t kRetryMs = 2000;
    // A connection that held this long was a working one: the next is told.
    static constexpr std::int64_t kSteadyMs = 60000;
    // Until then, a connection is told when no other was for this long.
    static constexpr std::int64_t kQuietMs = 60000;

    explicit ReconnectSchedule(ClockPort& clock, std::int64_t retryMs = kRetryMs) : clock_(clock), retryMs_(retryMs) {}

    // Milliseconds until the next try; 0: now (also before the first).
    std::int64_t WaitMs() const;
    // A connection was made: its log line, unless the ones before it were
    // lost before they held kSteadyMs and one was told within kQuietMs.
    std::optional<std::u16string> Connected(std::string_view url);
    // A try failed: the next one `retryMs` from now. The log line only for
    // the first failure since the start or the last connection told.
    std::optional<std::u16string> Failed(std::string_view url, std::string_view reason);
    // The connection was lost: the next try `retryMs` from now. Its log line
    // when its making was told, or when it held kSteadyMs; its failures are
    // not told until a connection is.
    std::optional<std::u16string> Lost(std::string_view url, std::string_view reason);

private:
    ClockPort& clock_;
    std::int64_t retryMs_;
    std::optional<std::int64_t> nextTryMs_;
    bool failureTold_ = false;
    std::int64_t connectedMs_ = 0;            // when the connection was made
    bool connectionTold_ = false;             // whether that was told
    std::optional<std::int64_t> lastToldMs_;  // the last connection told since a steady one
};

// A notice told at most once a period (the first at once).
class NoticeThrottle {
public:
    NoticeThrottle(ClockPort& clock, std::int64_t periodMs) : clock_(clock), periodMs_(periodMs) {}
    // Whether the notice is told now; if so the period starts again.
    bool Allow();

private:
    ClockPort& clock_;
    std::int64_t periodMs_;
    std::optional<std::int64_t> lastMs_;
};

} // namespace kx
