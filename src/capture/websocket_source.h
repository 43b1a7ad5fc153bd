#pragma once
// The WebSocket text source: a thread of its own that connects to a hooker's
// server, hands on the text of each message in the order received, and
// connects again on its own after a refused or lost connection.
#include "common/call_gate.h"
#include "platform/clock_port.h"
#include "platform/websocket_port.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace kx {

class WebSocketSource {
public:
    // Both are called on the source's thread, never after Stop has returned.
    struct Handlers {
        std::function<void(std::u16string text)> onText;    // each message's text
        std::function<void(std::u16string line)> onNotice;  // a line for the log
    };
    struct Limits {
        std::int64_t retryMs = 2000;             // between a failure and the next try
        std::size_t messageBytes = 4u << 20;     // a larger message is not shown
        std::int64_t oversizeNoticeMs = 60000;   // how often that is told
    };

    // The port and the clock are shared with a thread that may outlive this object.
    WebSocketSource(std::shared_ptr<WebSocketPort> port, std::shared_ptr<ClockPort> clock, Handlers handlers,
                    Limits limits);
    WebSocketSource(std::shared_ptr<WebSocketPort> port, std::shared_ptr<ClockPort> clock, Handlers handlers)
        : WebSocketSource(std::move(port), std::move(clock), std::move(handlers), Limits{})
    {
    }
    ~WebSocketSource();
    WebSocketSource(const WebSocketSource&) = delete;
    WebSocketSource& operator=(const WebSocketSource&) = delete;

    // Starts the thread for `url` (a source runs once).
    void Start(const std::string& url);
    // Ends the connection (an opening one at once, an open one with a close
    // frame) and waits up to `wait` for the thread to end; a thread still
    // waiting then for a server to answer is left to end by itself, calling
    // nothing more, within WebSocketConnection::kCloseAnswerMs.
    void Stop(std::chrono::milliseconds wait);
    // What Stop begins, without the wait: several sources end side by side.
    void AskToStop();
    const std::string& Url() const { return url_; }

    struct Shared;  // what the thread and this object share

private:
    std::shared_ptr<Shared> shared_;
    std::shared_ptr<CallGate> gate_;
    std::string url_;
    std::thread thread_;
};

} // namespace kx
