#include "platform/win32/win32_websocket.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_url.h"

#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

// WinHTTP in asynchronous mode, each call waited for on the connection's
// thread. A synchronous receive cannot be ended from another thread under
// Wine (closing its handle leaves it blocked until the server sends or
// goes); an asynchronous one ends when its handle is closed, under Windows
// and Wine alike, and so does each step of the opening handshake.
//  - WinHTTP tells of each completion through OnStatus, on a thread of its
//    own or inside the call that started it (Wine does both). OnStatus and
//    the connection share a Shared, which each handle's context holds a
//    reference to until the handle's last callback (HANDLE_CLOSING); WinHTTP
//    may write into the receive buffer until then, so that lives there too.
//  - Only the connection's thread closes the socket, under socketMutex, which
//    Shutdown takes to send the close frame: a handle's value is reused once
//    it is closed. WinHTTP is never called with Shared::mutex held, as a
//    callback inside the call takes it.

namespace kx::win32 {
namespace {

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle Null() { return nullptr; }
    static void Close(Handle h) { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = UniqueHandle<InternetTraits>;

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kChunkBytes = 64 * 1024;
constexpr char kCancelled[] = "cancelled";

struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<DWORD> stepEnded;  // the handshake step under way: its error, ERROR_SUCCESS when done
    std::optional<DWORD> readEnded;  // the receive under way: its error, ERROR_SUCCESS with what it read
    DWORD readBytes = 0;
    WINHTTP_WEB_SOCKET_BUFFER_TYPE readType{};
    bool closeFrameGone = false;                    // the close frame was sent (or could not be)
    std::optional<SteadyClock::time_point> shutdownAt;  // when Shutdown was asked for
    std::vector<char> chunk = std::vector<char>(kChunkBytes);
    DWORD unusedBytes = 0;  // where a synchronous receive would have said what it read
    WINHTTP_WEB_SOCKET_BUFFER_TYPE unusedType{};
};

// A handle's context.
struct Context {
    std::shared_ptr<Shared> shared;
    bool socket = false;  // the WebSocket's handle, else the upgrade's request
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD)
{
    auto* owner = reinterpret_cast<Context*>(context);
    if (!owner)
        return;  // the session's and the connection's own handles
    if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
        delete owner;
        return;
    }
    Shared& shared = *owner->shared;
    std::lock_guard lock(shared.mutex);
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        shared.stepEnded = ERROR_SUCCESS;
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE: {
        const auto* read = static_cast<const WINHTTP_WEB_SOCKET_STATUS*>(info);
        shared.readBytes = read->dwBytesTransferred;
        shared.readType = read->eBufferType;
        shared.readEnded = ERROR_SUCCESS;
        break;
    }
    case WINHTTP_CALLBACK_STATUS_SHUTDOWN_COMPLETE:
        shared.closeFrameGone = true;
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
        const DWORD error = static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError;
        if (!owner->socket)
            shared.stepEnded = error;
        else if (static_cast<const WINHTTP_WEB_SOCKET_ASYNC_RESULT*>(info)->Operation ==
                 WINHTTP_WEB_SOCKET_RECEIVE_OPERATION)
            shared.readEnded = error;
        else
            shared.closeFrameGone = true;  // the receive tells what became of the connection
        break;
    }
    default:
        return;
    }
    shared.changed.notify_all();
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
        return kCancelled;
    default:
        return "WinHTTP error " + std::to_string(error);
    }
}

class AsyncConnection : public WebSocketConnection {
public:
    AsyncConnection(std::string url, int stepTimeoutMs)
        : url_(std::move(url)), stepTimeoutMs_(stepTimeoutMs), shared_(std::make_shared<Shared>())
    {
    }

    ~AsyncConnection() override
    {
        // The close frame has left before the socket goes (a pending send
        // might be dropped with it), unless it takes longer than a moment.
        if (SendCloseFrame()) {
            std::unique_lock lock(shared_->mutex);
            shared_->changed.wait_for(lock, std::chrono::milliseconds(250), [this] { return shared_->closeFrameGone; });
        }
        CloseSocket();
        request_.Reset();
        connection_.Reset();
        session_.Reset();
    }

    std::string Open() override
    {
        std::variant<UrlTarget, std::string> cracked = CrackUrl(url_, UrlScheme::WebSocket);
        if (const auto* failure = std::get_if<std::string>(&cracked))
            return *failure;
        const UrlTarget& target = std::get<UrlTarget>(cracked);
        where_ = target.hostText + ":" + std::to_string(target.port);
        const auto failed = [this] { return FailureText(::GetLastError(), where_, stepTimeoutMs_); };
        if (ShutdownAsked())
            return kCancelled;
        // A proxy configured for the machine must not see connections to this one.
        session_.Reset(::WinHttpOpen(L"KestruneEX",
                                     target.loopback ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                     WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
        if (!session_)
            return failed();
        const int step = stepTimeoutMs_;
        if (!::WinHttpSetTimeouts(session_.Get(), step, step, step, step) ||
            ::WinHttpSetStatusCallback(session_.Get(), OnStatus, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0) ==
                WINHTTP_INVALID_STATUS_CALLBACK)
            return failed();
        connection_.Reset(::WinHttpConnect(session_.Get(), target.host.c_str(), target.port, 0));
        if (!connection_)
            return failed();
        request_.Reset(::WinHttpOpenRequest(connection_.Get(), L"GET", target.pathAndQuery.c_str(), nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            target.secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request_)
            return failed();
        auto* context = new Context{shared_, false};
        auto contextValue = reinterpret_cast<DWORD_PTR>(context);
        if (!::WinHttpSetOption(request_.Get(), WINHTTP_OPTION_CONTEXT_VALUE, &contextValue, sizeof(contextValue))) {
            delete context;
            return failed();
        }
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        ::WinHttpSetOption(request_.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
        if (!::WinHttpSetOption(request_.Get(), WINHTTP_OPTION_UPGRADE_TO_WEB_SOCKET, nullptr, 0))
            return failed();
        BeginStep();
        if (!::WinHttpSendRequest(request_.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                                  contextValue))
            return failed();
        if (std::string failure = EndOfStep(); !failure.empty())
            return failure;
        BeginStep();
        if (!::WinHttpReceiveResponse(request_.Get(), nullptr))
            return failed();
        if (std::string failure = EndOfStep(); !failure.empty())
            return failure;
        DWORD status = 0;
        DWORD statusSize = sizeof(status);
        if (!::WinHttpQueryHeaders(request_.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
            return failed();
        if (status != HTTP_STATUS_SWITCH_PROTOCOLS)
            return "HTTP " + std::to_string(status) + " from " + where_ + ": not a WebSocket";
        auto* socketContext = new Context{shared_, true};
        UniqueInternet socket(
            ::WinHttpWebSocketCompleteUpgrade(request_.Get(), reinterpret_cast<DWORD_PTR>(socketContext)));
        if (!socket) {
            delete socketContext;
            return failed();
        }
        // A quiet hooker is no lost connection: messages are waited for as long as it takes.
        DWORD forever = 0;
        ::WinHttpSetOption(socket.Get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &forever, sizeof(forever));
        request_.Reset();
        {
            std::lock_guard lock(socketMutex_);
            socket_ = std::move(socket);
        }
        // A Shutdown while the handshake ended found no socket to close.
        if (ShutdownAsked())
            SendCloseFrame();
        return {};
    }

    WebSocketMessage Receive(std::size_t limitBytes) override
    {
        WebSocketMessage message;
        if (closed_ || !socket_) {
            message.failure = closed_ ? closeReason_ : std::string("not open");
            return message;
        }
        bool tooLarge = false;
        for (;;) {
            DWORD read = 0;
            WINHTTP_WEB_SOCKET_BUFFER_TYPE type{};
            const std::optional<DWORD> error = ReadChunk(read, type);
            if (!error)
                return Close("no answer to the close frame within " +
                             std::to_string(kCloseAnswerMs / 1000) + " s");
            if (*error != ERROR_SUCCESS)
                return Close(FailureText(*error, where_, stepTimeoutMs_));
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
                    message.bytes.append(shared_->chunk.data(), read);
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
        {
            std::lock_guard lock(shared_->mutex);
            if (!shared_->shutdownAt)
                shared_->shutdownAt = SteadyClock::now();
            shared_->changed.notify_all();
        }
        SendCloseFrame();
    }

private:
    bool ShutdownAsked()
    {
        std::lock_guard lock(shared_->mutex);
        return shared_->shutdownAt.has_value();
    }

    void BeginStep()
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stepEnded.reset();
    }

    // Waits for the handshake step under way: empty when it went well, else
    // why not. A step that Shutdown cuts short, or that outlasts WinHTTP's own
    // time-out for it (a name lookup may), ends with its request.
    std::string EndOfStep()
    {
        std::unique_lock lock(shared_->mutex);
        const auto deadline = SteadyClock::now() + std::chrono::milliseconds(stepTimeoutMs_ + 1000);
        shared_->changed.wait_until(lock, deadline, [this] { return shared_->stepEnded || shared_->shutdownAt; });
        const std::optional<DWORD> ended = shared_->stepEnded;
        const bool cancelled = shared_->shutdownAt.has_value();
        lock.unlock();
        if (ended && !cancelled)
            return *ended == ERROR_SUCCESS ? std::string() : FailureText(*ended, where_, stepTimeoutMs_);
        request_.Reset();
        return cancelled ? kCancelled : FailureText(ERROR_WINHTTP_TIMEOUT, where_, stepTimeoutMs_);
    }

    // Starts a receive into the shared chunk and waits for it: its error, or
    // ERROR_SUCCESS with what it read; nullopt when the server did not answer
    // the close frame in time and the socket was closed hard.
    std::optional<DWORD> ReadChunk(DWORD& read, WINHTTP_WEB_SOCKET_BUFFER_TYPE& type)
    {
        {
            std::lock_guard lock(shared_->mutex);
            shared_->readEnded.reset();
        }
        const DWORD started =
            ::WinHttpWebSocketReceive(socket_.Get(), shared_->chunk.data(), static_cast<DWORD>(shared_->chunk.size()),
                                      &shared_->unusedBytes, &shared_->unusedType);
        if (started != ERROR_SUCCESS && started != ERROR_IO_PENDING)
            return started;
        std::unique_lock lock(shared_->mutex);
        for (;;) {
            if (shared_->readEnded) {
                read = shared_->readBytes;
                type = shared_->readType;
                return shared_->readEnded;
            }
            if (!shared_->shutdownAt) {
                shared_->changed.wait(lock);
                continue;
            }
            const auto giveUp = *shared_->shutdownAt + std::chrono::milliseconds(kCloseAnswerMs);
            if (SteadyClock::now() >= giveUp)
                break;
            shared_->changed.wait_until(lock, giveUp);
        }
        lock.unlock();
        CloseSocket();  // which ends the receive under way
        return std::nullopt;
    }

    // Sends the close frame once, on an open socket; whether it may still be on its way.
    bool SendCloseFrame()
    {
        std::lock_guard lock(socketMutex_);
        if (!socket_ || closeSent_)
            return false;
        closeSent_ = true;
        return ::WinHttpWebSocketShutdown(socket_.Get(), WINHTTP_WEB_SOCKET_SUCCESS_CLOSE_STATUS, nullptr, 0) ==
               ERROR_IO_PENDING;
    }

    void CloseSocket()
    {
        std::lock_guard lock(socketMutex_);
        socket_.Reset();
    }

    WebSocketMessage Close(std::string reason)
    {
        closed_ = true;
        closeReason_ = std::move(reason);
        WebSocketMessage message;
        message.failure = closeReason_;
        return message;
    }

    const std::string url_;
    const int stepTimeoutMs_;
    const std::shared_ptr<Shared> shared_;
    std::string where_;  // host:port, for the log
    UniqueInternet session_;
    UniqueInternet connection_;
    UniqueInternet request_;
    std::mutex socketMutex_;
    UniqueInternet socket_;   // written under socketMutex_, by this connection's thread only
    bool closeSent_ = false;  // guarded by socketMutex_
    bool closed_ = false;
    std::string closeReason_;
};

} // namespace

std::unique_ptr<WebSocketConnection> Win32WebSocket::NewConnection(const std::string& url)
{
    return std::make_unique<AsyncConnection>(url, stepTimeoutMs_);
}

} // namespace kx::win32
