#include "platform/win32/win32_websocket.h"

#include "common/http_url.h"
#include "common/text.h"
#include "common/utf.h"
#include "common/windows_wide.h"
#include "platform/win32/unique_handle.h"

#include <windows.h>
#include <winhttp.h>

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Synchronous WinHTTP behaves the same under Windows and Wine. A Receive
// blocked on a quiet server ends when Shutdown, from another thread, sends
// the close frame and the server answers it; a server that never answers is
// the caller's to leave behind (the thread that waits is not the UI thread).

namespace kx::win32 {
namespace {

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle Null() { return nullptr; }
    static void Close(Handle h) { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = UniqueHandle<InternetTraits>;

constexpr char kNotAUrl[] = "not a ws:// or wss:// URL";
constexpr std::size_t kChunkBytes = 64 * 1024;

struct Target {
    std::wstring host;
    INTERNET_PORT port = 0;
    bool secure = false;
    std::wstring pathAndQuery;
    std::string where;  // host:port, for the log
    bool loopback = false;
};

// ws and wss are http and https for WinHttpCrackUrl, which knows only those.
std::optional<Target> ParseUrl(const std::string& url)
{
    const auto startsWith = [&url](std::string_view scheme) {
        return EqualsIgnoringAsciiCase(std::string_view(url).substr(0, scheme.size()), scheme);
    };
    std::string asHttp;
    if (startsWith("ws://"))
        asHttp = "http://" + url.substr(5);
    else if (startsWith("wss://"))
        asHttp = "https://" + url.substr(6);
    else
        return std::nullopt;
    const std::optional<std::u16string> units = Utf16FromWellFormedUtf8(asHttp);
    if (!units || units->find(u'\0') != std::u16string::npos)
        return std::nullopt;
    const std::wstring wide = Wide(*units);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) || !parts.lpszHostName ||
        parts.dwHostNameLength == 0)
        return std::nullopt;
    Target target;
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (parts.lpszUrlPath && parts.dwUrlPathLength)
        target.pathAndQuery.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo && parts.dwExtraInfoLength)
        target.pathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (target.pathAndQuery.empty() || target.pathAndQuery[0] != L'/')
        target.pathAndQuery.insert(0, 1, L'/');
    const std::string host = Utf8FromUtf16(Utf16(target.host));
    target.where = host + ":" + std::to_string(target.port);
    target.loopback = IsLoopbackLiteral(host);
    return target;
}

// WSAETIMEDOUT and WSAECONNRESET: how Wine reports a socket that ran out of
// time or was dropped.
constexpr DWORD kSocketTimedOut = 10060;
constexpr DWORD kSocketReset = 10054;

std::string FailureText(DWORD error, const std::string& where, int stepTimeoutMs)
{
    switch (error) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "the connection was refused";
    case ERROR_WINHTTP_TIMEOUT:
    case kSocketTimedOut:
        return "no answer within " + std::to_string((stepTimeoutMs + 999) / 1000) + " s";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "server name not found";
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case kSocketReset:
        return "the connection was lost";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "not an HTTP answer from " + where;
    case ERROR_WINHTTP_SECURE_FAILURE:
        return "the secure connection failed";
    case ERROR_WINHTTP_OPERATION_CANCELLED:
        return "cancelled";
    default:
        return "WinHTTP error " + std::to_string(error);
    }
}

class Connection : public WebSocketConnection {
public:
    Connection(UniqueInternet session, UniqueInternet connection, UniqueInternet socket, std::string where,
               int stepTimeoutMs)
        : session_(std::move(session)), connection_(std::move(connection)), socket_(std::move(socket)),
          where_(std::move(where)), stepTimeoutMs_(stepTimeoutMs), chunk_(kChunkBytes)
    {
    }

    ~Connection() override
    {
        Shutdown();
        socket_.Reset();
    }

    WebSocketMessage Receive(std::size_t limitBytes) override
    {
        WebSocketMessage message;
        if (closed_) {
            message.failure = closeReason_;
            return message;
        }
        bool tooLarge = false;
        for (;;) {
            DWORD read = 0;
            WINHTTP_WEB_SOCKET_BUFFER_TYPE type{};
            const DWORD error = ::WinHttpWebSocketReceive(socket_.Get(), chunk_.data(),
                                                          static_cast<DWORD>(chunk_.size()), &read, &type);
            if (error != ERROR_SUCCESS)
                return Close(FailureText(error, where_, stepTimeoutMs_));
            switch (type) {
            case WINHTTP_WEB_SOCKET_CLOSE_BUFFER_TYPE:
                return Close("the server closed the connection");
            case WINHTTP_WEB_SOCKET_BINARY_FRAGMENT_BUFFER_TYPE:
                continue;
            case WINHTTP_WEB_SOCKET_BINARY_MESSAGE_BUFFER_TYPE:
                message.kind = WebSocketMessage::Kind::Binary;
                return message;
            case WINHTTP_WEB_SOCKET_UTF8_FRAGMENT_BUFFER_TYPE:
            case WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE:
                if (!tooLarge && message.bytes.size() + read > limitBytes) {
                    tooLarge = true;
                    std::string().swap(message.bytes);
                }
                if (!tooLarge)
                    message.bytes.append(chunk_.data(), read);
                if (type == WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE) {
                    message.kind = tooLarge ? WebSocketMessage::Kind::TooLarge : WebSocketMessage::Kind::Text;
                    return message;
                }
                continue;
            default:
                return Close("an unknown frame from " + where_);
            }
        }
    }

    void Shutdown() override
    {
        std::lock_guard lock(shutdownMutex_);
        if (shutDown_ || !socket_)
            return;
        shutDown_ = true;
        ::WinHttpWebSocketShutdown(socket_.Get(), WINHTTP_WEB_SOCKET_SUCCESS_CLOSE_STATUS, nullptr, 0);
    }

private:
    WebSocketMessage Close(std::string reason)
    {
        closed_ = true;
        closeReason_ = std::move(reason);
        WebSocketMessage message;
        message.failure = closeReason_;
        return message;
    }

    UniqueInternet session_;
    UniqueInternet connection_;
    UniqueInternet socket_;
    std::string where_;
    int stepTimeoutMs_;
    std::vector<char> chunk_;
    bool closed_ = false;
    std::string closeReason_;
    std::mutex shutdownMutex_;
    bool shutDown_ = false;  // guarded by shutdownMutex_
};

} // namespace

WebSocketOpened Win32WebSocket::Connect(const std::string& url)
{
    WebSocketOpened opened;
    const std::optional<Target> target = ParseUrl(url);
    if (!target) {
        opened.failure = kNotAUrl;
        return opened;
    }
    const auto failed = [&](DWORD error) {
        opened.failure = FailureText(error, target->where, stepTimeoutMs_);
        return std::move(opened);
    };
    // A proxy configured for the machine must not see connections to this one.
    UniqueInternet session(::WinHttpOpen(L"KestruneEX",
                                         target->loopback ? WINHTTP_ACCESS_TYPE_NO_PROXY
                                                          : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                         WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return failed(::GetLastError());
    const int step = stepTimeoutMs_;
    if (!::WinHttpSetTimeouts(session.Get(), step, step, step, step))
        return failed(::GetLastError());
    UniqueInternet connection(::WinHttpConnect(session.Get(), target->host.c_str(), target->port, 0));
    if (!connection)
        return failed(::GetLastError());
    UniqueInternet request(::WinHttpOpenRequest(connection.Get(), L"GET", target->pathAndQuery.c_str(), nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                target->secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return failed(::GetLastError());
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    ::WinHttpSetOption(request.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
    if (!::WinHttpSetOption(request.Get(), WINHTTP_OPTION_UPGRADE_TO_WEB_SOCKET, nullptr, 0) ||
        !::WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request.Get(), nullptr))
        return failed(::GetLastError());
    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!::WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
        return failed(::GetLastError());
    if (status != HTTP_STATUS_SWITCH_PROTOCOLS) {
        opened.failure = "HTTP " + std::to_string(status) + " from " + target->where + ": not a WebSocket";
        return opened;
    }
    UniqueInternet socket(::WinHttpWebSocketCompleteUpgrade(request.Get(), 0));
    if (!socket)
        return failed(::GetLastError());
    // A quiet hooker is no lost connection: messages are waited for as long as it takes.
    DWORD forever = 0;
    ::WinHttpSetOption(socket.Get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &forever, sizeof(forever));
    request.Reset();
    opened.connection = std::make_unique<Connection>(std::move(session), std::move(connection), std::move(socket),
                                                     target->where, stepTimeoutMs_);
    return opened;
}

} // namespace kx::win32
