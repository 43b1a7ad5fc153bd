#pragma once
// A client WebSocket to a text server on this computer or beyond (a hooker's
// extension that serves each line as a message).
#include <cstddef>
#include <memory>
#include <string>

namespace kx {

struct WebSocketMessage {
    enum class Kind {
        Text,      // a whole text message; `bytes` as sent (UTF-8, unchecked)
        Binary,    // a whole binary message, its bytes not kept
        TooLarge,  // a text message over the limit, read through and not kept
        Closed,    // the connection is over; `failure` says why, for the log
    };
    Kind kind = Kind::Closed;
    std::string bytes;
    std::string failure;
};

class WebSocketConnection {
public:
    // Closes the connection: a close frame when it is still open, then the
    // handles, without waiting for the server's answer.
    virtual ~WebSocketConnection() = default;
    // Blocks until the next whole message (any number of fragments). After
    // Closed, every call returns Closed at once.
    virtual WebSocketMessage Receive(std::size_t limitBytes) = 0;
    // Any thread, also while Receive blocks: sends the close frame. A Receive
    // in progress returns once the server answers it (or the server's
    // messages that were on their way).
    virtual void Shutdown() = 0;
};

struct WebSocketOpened {
    std::unique_ptr<WebSocketConnection> connection;  // null: see failure
    std::string failure;                              // why not, in words for the log
};

class WebSocketPort {
public:
    virtual ~WebSocketPort() = default;
    // Any thread: connects to a ws:// or wss:// URL and completes the upgrade
    // (no subprotocol asked for), each step bounded by a few seconds.
    virtual WebSocketOpened Connect(const std::string& url) = 0;
};

} // namespace kx
