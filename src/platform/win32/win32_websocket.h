#pragma once
// WebSocketPort over WinHTTP's own client (WinHttpWebSocketCompleteUpgrade
// and its companions), in asynchronous mode so that another thread can end
// what is under way; each call is waited for on the connection's thread.
#include "platform/websocket_port.h"

namespace kx::win32 {

class Win32WebSocket : public WebSocketPort {
public:
    // Each step of a connection (name lookup, connect, the upgrade's request
    // and answer) may take up to `stepTimeoutMs`.
    explicit Win32WebSocket(int stepTimeoutMs = 3000) : stepTimeoutMs_(stepTimeoutMs) {}
    std::unique_ptr<WebSocketConnection> NewConnection(const std::string& url) override;

private:
    int stepTimeoutMs_;
};

} // namespace kx::win32
