#pragma once
// When the WebSocket text source tries to connect, and what the log says of
// its connections: each one when it is made and when it is lost, and a
// failure to connect once until the next success.
#include "platform/clock_port.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

class ReconnectSchedule {
public:
    static constexpr std::int64_t kRetryMs = 2000;

    explicit ReconnectSchedule(ClockPort& clock, std::int64_t retryMs = kRetryMs) : clock_(clock), retryMs_(retryMs) {}

    // Milliseconds until the next try; 0: now (also before the first).
    std::int64_t WaitMs() const;
    // A connection was made: its log line.
    std::u16string Connected(std::string_view url);
    // A try failed: the next one `retryMs` from now. The log line only for
    // the first failure since the start or the last connection.
    std::optional<std::u16string> Failed(std::string_view url, std::string_view reason);
    // The connection was lost: its log line; the next try `retryMs` from now,
    // and its failures are not told again until a connection is made.
    std::u16string Lost(std::string_view url, std::string_view reason);

private:
    ClockPort& clock_;
    std::int64_t retryMs_;
    std::optional<std::int64_t> nextTryMs_;
    bool failureTold_ = false;
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
