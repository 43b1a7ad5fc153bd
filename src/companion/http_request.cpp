#include "companion/http_request.h"

#include "common/text.h"
#include "companion/websocket_handshake.h"

#include <optional>

namespace kx {
namespace {

// tchar of HTTP: what a method and a header name are made of.
bool IsTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsToken(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (!IsTokenChar(c))
            return false;
    return true;
}

// A control character (DEL too) that a tab is not.
bool IsControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
}

std::string_view TrimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool ReadRequestLine(std::string_view line, HttpRequestHead& head)
{
    const std::size_t space1 = line.find(' ');
    const std::size_t space2 = space1 == std::string_view::npos ? space1 : line.find(' ', space1 + 1);
    if (space2 == std::string_view::npos)
        return false;
    const std::string_view method = line.substr(0, space1);
    const std::string_view target = line.substr(space1 + 1, space2 - space1 - 1);
    const std::string_view version = line.substr(space2 + 1);
    if (!IsToken(method) || target.empty() || target[0] != '/')
        return false;
    for (char c : target)
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            return false;
    if (version.size() != 8 || version.substr(0, 7) != "HTTP/1." || version[7] < '0' || version[7] > '9')
        return false;
    head.method = method;
    head.target = target;
    head.version = version;
    return true;
}

bool ReadHeaderLine(std::string_view line, HttpRequestHead& head)
{
    // A line that starts with a blank continues the one before (obs-fold),
    // which HTTP/1.1 lets a server refuse; a blank before ':' fails IsToken.
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon)))
        return false;
    head.headers.emplace_back(LowerAscii(line.substr(0, colon)), std::string(TrimBlanks(line.substr(colon + 1))));
    return true;
}

// Whether one of the comma-separated elements of any header of the name is `token` (any case).
bool HasToken(const HttpRequestHead& head, std::string_view lowerName, std::string_view token)
{
    for (const auto& [name, value] : head.headers) {
        if (name != lowerName)
            continue;
        std::string_view rest = value;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            if (EqualsIgnoringAsciiCase(TrimBlanks(rest.substr(0, comma)), token))
                return true;
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
    }
    return false;
}

// The value of the one header of the name, or nullopt when there is none or more than one.
std::optional<std::string_view> OnlyHeader(const HttpRequestHead& head, std::string_view lowerName)
{
    std::optional<std::string_view> found;
    for (const auto& [name, value] : head.headers) {
        if (name != lowerName)
            continue;
        if (found)
            return std::nullopt;
        found = value;
    }
    return found;
}

} // namespace

const std::string* HttpRequestHead::Header(std::string_view lowerName) const
{
    for (const auto& [name, value] : headers)
        if (name == lowerName)
            return &value;
    return nullptr;
}

HeadResult ReadRequestHead(std::string_view received)
{
    // Only what may still be the head is looked at: each line whole, as its LF comes.
    const std::string_view window = received.substr(0, kMaxRequestHeadBytes);
    HeadResult result;
    const auto fail = [&result](HeadStatus status) {
        result.status = status;
        result.head = {};
        return result;
    };
    bool requestLineRead = false;
    for (std::size_t at = 0;;) {
        const std::size_t lf = window.find('\n', at);
        if (lf == std::string_view::npos)
            break;
        std::string_view line = window.substr(at, lf - at);
        at = lf + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty()) {
            if (!requestLineRead)
                continue;
            result.status = HeadStatus::Complete;
            result.consumed = at;
            return result;
        }
        for (char c : line)
            if (IsControl(c))
                return fail(HeadStatus::Malformed);
        if (!(requestLineRead ? ReadHeaderLine(line, result.head) : ReadRequestLine(line, result.head)))
            return fail(HeadStatus::Malformed);
        requestLineRead = true;
    }
    return fail(received.size() >= kMaxRequestHeadBytes ? HeadStatus::TooLarge : HeadStatus::Incomplete);
}

UpgradeCheck CheckWebSocketUpgrade(const HttpRequestHead& head, std::string* key)
{
    if (!head.Header("upgrade"))
        return UpgradeCheck::NotUpgrade;
    if (head.method != "GET" || head.version != "HTTP/1.1" || !HasToken(head, "upgrade", "websocket") ||
        !HasToken(head, "connection", "upgrade"))
        return UpgradeCheck::BadUpgrade;
    const std::optional<std::string_view> version = OnlyHeader(head, "sec-websocket-version");
    const std::optional<std::string_view> sentKey = OnlyHeader(head, "sec-websocket-key");
    if (version != "13" || !sentKey)
        return UpgradeCheck::BadUpgrade;
    const std::optional<std::string> nonce = DecodeBase64(*sentKey);
    if (!nonce || nonce->size() != 16)
        return UpgradeCheck::BadUpgrade;
    if (key)
        *key = *sentKey;
    return UpgradeCheck::Upgrade;
}

std::string HttpResponse(int status, std::string_view reason, std::string_view contentType, std::string_view body,
                         bool close)
{
    std::string out = "HTTP/1.1 " + std::to_string(status) + " ";
    out += reason;
    out += "\r\n";
    if (!contentType.empty()) {
        out += "Content-Type: ";
        out += contentType;
        out += "\r\n";
    }
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    if (close)
        out += "Connection: close\r\n";
    out += "\r\n";
    out += body;
    return out;
}

std::string WebSocketUpgradeResponse(std::string_view key)
{
    return "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " +
           WebSocketAccept(key) + "\r\n\r\n";
}

} // namespace kx
