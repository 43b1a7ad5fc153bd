#pragma once
// The reading companion's HTTP/1.1: the head of a browser's request read
// from the bytes a connection has brought so far, the check that it asks
// for a WebSocket, and the few responses the server writes. Only what a
// GET needs: a request body is never read.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kx {

// A browser's head is well under 2 KiB; more than this is no browser, and
// the connection is not kept waiting for it.
constexpr std::size_t kMaxRequestHeadBytes = 8192;

struct HttpRequestHead {
    std::string method, target, version;                       // "GET", "/lines", "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;  // names lower-cased, values trimmed of blanks
    // The first header of that name, or null; `lowerName` in lower case.
    const std::string* Header(std::string_view lowerName) const;
};

enum class HeadStatus { Incomplete, Complete, Malformed, TooLarge };

struct HeadResult {
    HeadStatus status = HeadStatus::Incomplete;
    HttpRequestHead head;   // filled when Complete
    std::size_t consumed = 0;  // Complete: the head's length, the blank line included
};

// `received`: every byte of the connection so far. Complete once the head
// is whole (up to a blank line; CR LF or a bare LF ends a line), and any
// bytes after it are left to the caller. Empty lines before the request
// line are passed over (consumed), as HTTP/1.1 asks of a server.
// Malformed as soon as one whole line is wrong, without waiting for the
// rest: a request line not "METHOD SP /target SP HTTP/1.x" (a token for a
// method, visible ASCII for the target), a header line without ':' or with
// a name that is no token (a blank before ':' included), a continuation
// line (obs-fold), or a control character or NUL anywhere but a tab in a
// value. TooLarge once kMaxRequestHeadBytes bytes have come without the
// head's end. So the answer for a longer `received` is the same unless this
// one is Incomplete.
HeadResult ReadRequestHead(std::string_view received);

enum class UpgradeCheck { NotUpgrade, Upgrade, BadUpgrade };

// Upgrade: GET, HTTP/1.1, an "Upgrade" header with the token websocket and
// a "Connection" header with the token upgrade (any case, in a comma list,
// over one or more headers of the name), exactly one "Sec-WebSocket-Version:
// 13", and exactly one "Sec-WebSocket-Key" that is the base64 of 16 bytes;
// then *key (when not null) is the key as sent. NotUpgrade: no Upgrade
// header at all. BadUpgrade: an Upgrade header with any of the rest wrong,
// for a 400. Host and Origin are not looked at here.
UpgradeCheck CheckWebSocketUpgrade(const HttpRequestHead& head, std::string* key);

// A whole response: status line, Content-Type (left out when empty),
// Content-Length and, when `close`, "Connection: close"; then the body. For
// the page and the 400, 404 and 503 answers. The texts are the program's
// own: nothing here checks them for CR or LF.
std::string HttpResponse(int status, std::string_view reason, std::string_view contentType, std::string_view body,
                         bool close = true);

// "HTTP/1.1 101 Switching Protocols" with Upgrade, Connection and the
// Sec-WebSocket-Accept answer to `key`.
std::string WebSocketUpgradeResponse(std::string_view key);

} // namespace kx
