#include "platform/win32/win32_http.h"

#include "common/http_url.h"
#include "common/text.h"
#include "common/utf.h"
#include "common/windows_wide.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_url.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

// How Post is bounded in time and cancelled
// -----------------------------------------
// WinHTTP lets a request be aborted only in asynchronous mode, where closing
// the request handle ends the pending operation through a callback. That mode
// needs a state machine driven from WinHTTP's callbacks, and the order and
// thread of those callbacks differ between Windows and Wine (Wine 8 runs
// some of them synchronously inside the call that started them). Synchronous
// WinHTTP behaves the same on both, so each exchange runs synchronously on a
// helper thread of its own:
//  - The helper owns everything it uses: copies of the request, its
//    connection handle, and shared_ptrs to the session and to the state it
//    shares with Post. It never touches the Win32Http object, which may be
//    gone by the time it finishes.
//  - Post waits on a condition variable for "done", Cancel or the deadline.
//    On Cancel or the deadline it marks the exchange abandoned, closes its
//    request handle (which ends a call blocked on it) and returns.
//  - The helper ends by the same deadline without that close too: every
//    WinHTTP call gets only the time left until it, so a server that sends
//    a byte now and then cannot keep it reading.
//  - At most two helpers live at once: a Post waits for one to end, within
//    its own deadline, before it starts another.
//  - A streamed body goes to Post a piece at a time, and the helper reads on
//    only once Post is through with the piece. So when the caller has had
//    enough (the stream's end marker came while the server keeps the
//    connection), no call is blocked on the request: Post closes it, and
//    with it the connection, at once.

namespace kx::win32 {

namespace {

constexpr std::int32_t kMaxTimeoutSeconds = 24 * 60 * 60;
constexpr std::size_t kMaxAnswerBytes = 64u * 1024u * 1024u;
constexpr int kMaxHelpers = 2;
using SteadyClock = std::chrono::steady_clock;

// What one exchange's helper thread and its Post share; guarded by
// Shared::mutex.
struct Exchange {
    bool done = false;
    bool abandoned = false;        // Post has returned: stop at the next step
    HINTERNET request = nullptr;   // open while not null; closed by whichever side lets go first
    std::string arrived;           // body bytes of a streamed 200 answer not yet taken by Post
    bool pieceInHand = false;      // Post is handing a piece on: the helper waits
    HttpResponse response;
};

} // namespace

struct Win32Http::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool cancelled = false;
    std::shared_ptr<void> session;  // the WinHttpOpen handle, made on first use
    int helpers = 0;                // helper threads alive
    std::vector<std::shared_ptr<Exchange>> running;  // not yet done nor abandoned

    // Marks the exchange abandoned (waking its helper if it waits for Post)
    // and hands out its request handle for the caller to close, outside the
    // lock. Under the lock.
    HINTERNET Abandon(const std::shared_ptr<Exchange>& exchange)
    {
        exchange->abandoned = true;
        changed.notify_all();
        std::erase(running, exchange);
        return std::exchange(exchange->request, nullptr);
    }
};

namespace {

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle Null() { return nullptr; }
    static void Close(Handle h) { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = UniqueHandle<InternetTraits>;

using Target = UrlTarget;

const char* const kNotAUrl = "not an http or https URL";

std::variant<Target, std::string> ParseUrl(const std::string& url)
{
    return CrackUrl(url, UrlScheme::Http);
}

// A token goes into a header line: printable ASCII only, so that it can
// neither break the line nor be converted to bytes the server does not expect.
bool IsHeaderSafe(const std::string& token)
{
    for (const char c : token) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E)
            return false;
    }
    return true;
}

// A header's name: one token of the characters HTTP allows in it, so that
// it can neither end the line nor hide the colon.
bool IsHeaderName(const std::string& name)
{
    constexpr std::string_view kMarks = "!#$%&'*+-.^_`|~";
    for (const char c : name) {
        const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && kMarks.find(c) == std::string_view::npos)
            return false;
    }
    return !name.empty();
}

// WSAETIMEDOUT: how Wine reports a read that ran out of time.
constexpr DWORD kSocketTimedOut = 10060;

std::string FailureText(DWORD error, const Target& target, std::int32_t timeoutSeconds)
{
    const std::string where = target.hostText + ":" + std::to_string(target.port);
    switch (error) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "cannot connect to " + where;
    case ERROR_WINHTTP_TIMEOUT:
    case kSocketTimedOut:
        return NoAnswerWithin(timeoutSeconds);
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "server name not found: " + target.hostText;
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
        return kNotAUrl;
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "connection to " + where + " closed";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "not an HTTP answer from " + where;
    case ERROR_WINHTTP_SECURE_FAILURE:
        return "secure connection to " + where + " failed";
    case ERROR_WINHTTP_OPERATION_CANCELLED:
        return "cancelled";
    default:
        return "WinHTTP error " + std::to_string(error);
    }
}

struct Job {
    std::shared_ptr<Win32Http::Shared> shared;
    std::shared_ptr<void> session;
    std::shared_ptr<Exchange> exchange;
    Target target;
    std::string body;
    std::wstring headers;
    std::int32_t timeoutSeconds = 0;
    SteadyClock::time_point deadline;
    bool streamed = false;  // Post hands the body on as it arrives

    // The request handle while the exchange is wanted, else null.
    HINTERNET Request() const
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        return exchange->abandoned ? nullptr : exchange->request;
    }

    // Milliseconds left until the deadline, at least 1.
    int MillisecondsLeft() const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        return static_cast<int>(std::clamp<long long>(left, 1, static_cast<long long>(kMaxTimeoutSeconds) * 1000));
    }

    // Each call may block for the time left, and no longer.
    bool LimitNextCall(HINTERNET request) const
    {
        const int left = MillisecondsLeft();
        DWORD receive = static_cast<DWORD>(left);
        return ::WinHttpSetTimeouts(request, left, left, left, left) &&
               ::WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &receive, sizeof(receive));
    }
};

HttpResponse Failed(std::string failure)
{
    HttpResponse response;
    response.failure = std::move(failure);
    return response;
}

// The synchronous exchange, on the helper thread. Between calls it stops as
// soon as Post has let go of it.
HttpResponse ExchangeOnce(const Job& job)
{
    const Target& target = job.target;
    const auto lastError = [&job] {
        const DWORD error = ::GetLastError();
        if (!job.Request())
            return Failed("cancelled");
        if (SteadyClock::now() >= job.deadline)
            return Failed(NoAnswerWithin(job.timeoutSeconds));
        return Failed(FailureText(error, job.target, job.timeoutSeconds));
    };
    const auto session = static_cast<HINTERNET>(job.session.get());

    UniqueInternet connection(::WinHttpConnect(session, target.host.c_str(), target.port, 0));
    if (!connection)
        return lastError();
    HINTERNET opened = ::WinHttpOpenRequest(connection.Get(), L"POST", target.pathAndQuery.c_str(), nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            target.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!opened)
        return lastError();
    {
        std::lock_guard<std::mutex> lock(job.shared->mutex);
        if (job.exchange->abandoned) {
            ::WinHttpCloseHandle(opened);
            return Failed("cancelled");
        }
        job.exchange->request = opened;
    }

    HINTERNET request = opened;
    // A redirect could take the request, and its key, elsewhere: the answer
    // is the redirect itself.
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    if (!::WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects)))
        return lastError();
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    ::WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never));
    if (target.loopback) {
        // A proxy configured for the machine must not see requests to this one.
        WINHTTP_PROXY_INFO direct{};
        direct.dwAccessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
        ::WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &direct, sizeof(direct));
    }

    const auto bodyBytes = static_cast<DWORD>(job.body.size());
    if (!job.LimitNextCall(request) ||
        !::WinHttpSendRequest(request, job.headers.c_str(), static_cast<DWORD>(job.headers.size()),
                              bodyBytes ? const_cast<char*>(job.body.data()) : WINHTTP_NO_REQUEST_DATA, bodyBytes,
                              bodyBytes, 0))
        return lastError();
    if (!(request = job.Request()))
        return Failed("cancelled");
    if (!job.LimitNextCall(request) || !::WinHttpReceiveResponse(request, nullptr))
        return lastError();

    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
        return lastError();

    // What has arrived, read as it comes: a read of more than that waits
    // (under Wine) until it is all there, however slowly it trickles in.
    const bool handedOn = job.streamed && status == 200;
    std::string answer;  // the body, unless Post keeps it
    std::size_t total = 0;
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        if (!(request = job.Request()))
            return Failed("cancelled");
        DWORD available = 0;
        if (!job.LimitNextCall(request) || !::WinHttpQueryDataAvailable(request, &available))
            return lastError();
        if (available == 0)
            break;
        DWORD wanted = std::min(available, static_cast<DWORD>(chunk.size()));
        // A read that takes the last byte of a chunk goes on to wait for the
        // next chunk's size (under Wine), which a server that keeps the
        // connection after its last event never sends: a streamed body's
        // last byte waits for the next read.
        if (handedOn && wanted == available && wanted > 1)
            --wanted;
        DWORD read = 0;
        if (!::WinHttpReadData(request, chunk.data(), wanted, &read))
            return lastError();
        if (read == 0)
            break;
        if ((total += read) > kMaxAnswerBytes)
            return Failed("answer larger than " + std::to_string(kMaxAnswerBytes / (1024 * 1024)) + " MB");
        if (!handedOn) {
            answer.append(chunk.data(), read);
            continue;
        }
        std::unique_lock<std::mutex> lock(job.shared->mutex);
        Exchange& exchange = *job.exchange;
        exchange.arrived.append(chunk.data(), read);
        job.shared->changed.notify_all();
        if (!job.shared->changed.wait_until(lock, job.deadline, [&] {
                return exchange.abandoned || (exchange.arrived.empty() && !exchange.pieceInHand);
            }))
            return Failed(NoAnswerWithin(job.timeoutSeconds));
    }

    HttpResponse response;
    response.received = true;
    response.status = static_cast<int>(status);
    response.body = std::move(answer);
    return response;
}

void RunJob(const Job& job)
{
    HttpResponse response;
    try {
        response = ExchangeOnce(job);
    } catch (const std::exception&) {  // out of memory for the answer
        response = Failed("answer too large to keep");
    }
    HINTERNET request = nullptr;
    {
        std::lock_guard<std::mutex> lock(job.shared->mutex);
        request = std::exchange(job.exchange->request, nullptr);
        std::erase(job.shared->running, job.exchange);
        job.exchange->response = std::move(response);
        job.exchange->done = true;
    }
    if (request)
        ::WinHttpCloseHandle(request);
}

} // namespace

Win32Http::Win32Http() : shared_(std::make_shared<Shared>()) {}

// Helper threads still running hold their own references to the session and
// the shared state; cancelling closes their requests.
Win32Http::~Win32Http() { Cancel(); }

void Win32Http::Cancel()
{
    std::vector<HINTERNET> requests;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->cancelled = true;
        for (const std::shared_ptr<Exchange>& exchange : std::vector(shared_->running))
            if (HINTERNET request = shared_->Abandon(exchange))
                requests.push_back(request);
        shared_->changed.notify_all();
    }
    for (HINTERNET request : requests)
        ::WinHttpCloseHandle(request);
}

int Win32Http::HelperThreads() const
{
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->helpers;
}

HttpResponse Win32Http::Post(const HttpRequest& request)
{
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        if (shared_->cancelled)
            return Failed("cancelled");
    }
    std::variant<Target, std::string> parsed = ParseUrl(request.url);
    if (auto* failure = std::get_if<std::string>(&parsed))
        return Failed(*failure);
    if (!IsHeaderSafe(request.bearerToken))
        return Failed("the API key has characters a header cannot carry");
    for (const auto& [name, value] : request.headers) {
        if (!IsHeaderName(name))
            return Failed("a request header's name has characters a header cannot carry");
        if (!IsHeaderSafe(value))
            return Failed("the " + name + " header has characters a header cannot carry");
    }
    if (request.body.size() > 0x7FFFFFFF)
        return Failed("request too large");

    Job job;
    job.shared = shared_;
    job.exchange = std::make_shared<Exchange>();
    job.target = std::move(std::get<Target>(parsed));
    job.body = request.body;
    job.timeoutSeconds = request.timeoutSeconds < 1 ? 1 : std::min(request.timeoutSeconds, kMaxTimeoutSeconds);
    job.deadline = SteadyClock::now() + std::chrono::seconds(job.timeoutSeconds);
    job.streamed = static_cast<bool>(request.onBodyPiece);
    job.headers = L"Content-Type: application/json; charset=utf-8\r\n";
    // The key never crosses a network in clear, whoever asks.
    if (!request.bearerToken.empty() && (job.target.secure || job.target.loopback))
        job.headers += L"Authorization: Bearer " + Wide(Widen(request.bearerToken)) + L"\r\n";
    for (const auto& [name, value] : request.headers)
        job.headers += Wide(Widen(name + ": " + value)) + L"\r\n";

    const std::shared_ptr<Exchange> exchange = job.exchange;
    const std::int32_t timeoutSeconds = job.timeoutSeconds;
    const SteadyClock::time_point deadline = job.deadline;
    std::unique_lock<std::mutex> lock(shared_->mutex);
    if (!shared_->changed.wait_until(lock, deadline, [&] { return shared_->helpers < kMaxHelpers || shared_->cancelled; }))
        return Failed("the earlier requests to the server have not ended within " + std::to_string(timeoutSeconds) + " s");
    if (shared_->cancelled)
        return Failed("cancelled");
    if (!shared_->session) {
        HINTERNET opened = ::WinHttpOpen(L"KestruneEX", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0);
        if (!opened)
            return Failed("WinHTTP error " + std::to_string(::GetLastError()));
        shared_->session = std::shared_ptr<void>(opened, [](void* h) { ::WinHttpCloseHandle(h); });
    }
    job.session = shared_->session;
    try {
        std::thread([job = std::move(job)] {
            RunJob(job);
            std::lock_guard<std::mutex> ended(job.shared->mutex);
            --job.shared->helpers;
            job.shared->changed.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return Failed("cannot start a thread for the request");
    }
    ++shared_->helpers;
    shared_->running.push_back(exchange);

    // A streamed body: the pieces in turn, until the helper is done, the
    // caller has had enough, the deadline or Cancel.
    std::string handed;
    for (;;) {
        shared_->changed.wait_until(lock, deadline, [&] {
            return exchange->done || shared_->cancelled || !exchange->arrived.empty();
        });
        if (shared_->cancelled || exchange->arrived.empty() || (!exchange->done && SteadyClock::now() >= deadline))
            break;
        const std::string piece = std::exchange(exchange->arrived, {});
        exchange->pieceInHand = true;
        lock.unlock();
        BodyWanted wanted = BodyWanted::More;
        try {
            wanted = request.onBodyPiece(piece);
            handed += piece;
        } catch (...) {
            lock.lock();
            HINTERNET dropped = shared_->Abandon(exchange);
            lock.unlock();
            if (dropped)
                ::WinHttpCloseHandle(dropped);
            throw;
        }
        lock.lock();
        exchange->pieceInHand = false;
        if (wanted == BodyWanted::Enough) {
            // The helper waits for this piece's verdict, in no WinHTTP call.
            HINTERNET closed = shared_->Abandon(exchange);
            lock.unlock();
            if (closed)
                ::WinHttpCloseHandle(closed);
            HttpResponse response;
            response.received = true;
            response.status = 200;
            response.body = std::move(handed);
            return response;
        }
        shared_->changed.notify_all();
    }
    if (exchange->done) {
        HttpResponse response = std::move(exchange->response);
        if (response.received && response.status == 200 && request.onBodyPiece)
            response.body = std::move(handed);
        return response;
    }
    const bool cancelled = shared_->cancelled;
    HINTERNET abandoned = shared_->Abandon(exchange);
    lock.unlock();
    if (abandoned)
        ::WinHttpCloseHandle(abandoned);
    return Failed(cancelled ? "cancelled" : NoAnswerWithin(timeoutSeconds));
}

} // namespace kx::win32
