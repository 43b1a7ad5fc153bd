#pragma once
// A client WebSocket to a text server on this computer or beyond (a hooker's
// extension that serves each line as a message).
#include <cstddef>
#include <cstdint>
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

// One connection, from its opening handshake to its close. Open, Receive and
// the destructor belong to one thread; Shutdown may come from any other.
class WebSocketConnection {
public:
    // How long a Receive after Shutdown waits for the server to answer the
    // close frame before the connection is closed hard.
    static constexpr std::int64_t kCloseAnswerMs = 1000;

    // Closes the connection at once: the close frame when it is open and has
    // not sent one, then the socket, without waiting for the server's answer.
    virtual ~WebSocketConnection() = default;
    // Connects and completes the upgrade (no subprotocol asked for), each
    // step bounded by a few seconds. Empty when open, else why not, in words
    // for the log ("cancelled" after Shutdown).
    virtual std::string Open() = 0;
    // Blocks until the next whole message (any number of fragments). After
    // Closed, every call returns Closed at once.
    virtual WebSocketMessage Receive(std::size_t limitBytes) = 0;
    // Any thread, at any time, also while Open or Receive blocks: an Open
    // under way ends; on an open connection the close frame goes out, and
    // Receive returns the server's messages that were on their way, then
    // Closed when the server answers, or kCloseAnswerMs after Shutdown at the
    // latest, when the connection is closed hard.
    virtual void Shutdown() = 0;
};

class WebSocketPort {
public:
    virtual ~WebSocketPort() = default;
    // Any thread: a connection to a ws:// or wss:// URL, not yet opened.
    virtual std::unique_ptr<WebSocketConnection> NewConnection(const std::string& url) = 0;
};

} // namespace kx
