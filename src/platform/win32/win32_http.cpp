#include "platform/win32/win32_http.h"

#include "common/text.h"
#include "common/utf.h"
#include "common/windows_wide.h"
#include "platform/win32/unique_handle.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
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
//  - The helper owns everything it uses: copies of the request, its WinHTTP
//    handles (it closes them itself), and shared_ptrs to the session and to
//    the state it shares with Post. It never touches the Win32Http object,
//    which may be gone by the time it finishes.
//  - Post waits on a condition variable for "done", Cancel or the deadline.
//    On Cancel or the deadline it marks the exchange abandoned and returns;
//    the helper notices between steps, or ends by WinHTTP's own time-outs
//    (set from the same timeoutSeconds), or when the server closes.

namespace kx::win32 {

struct Win32Http::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool cancelled = false;
    std::shared_ptr<void> session;  // the WinHttpOpen handle, made on first use
};

namespace {

constexpr std::int32_t kMaxTimeoutSeconds = 24 * 60 * 60;
constexpr std::size_t kMaxAnswerBytes = 64u * 1024u * 1024u;

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle Null() { return nullptr; }
    static void Close(Handle h) { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = UniqueHandle<InternetTraits>;

struct Target {
    std::wstring host;
    INTERNET_PORT port = 0;
    bool secure = false;
    std::wstring pathAndQuery;
    std::string hostText;  // UTF-8, for the failure texts
    bool loopback = false;
};

const char* const kNotAUrl = "not an http or https URL";

bool IsLoopbackHost(const std::wstring& host)
{
    if (host.size() >= 4 && host.compare(0, 4, L"127.") == 0)
        return true;
    return _wcsicmp(host.c_str(), L"localhost") == 0 || host == L"[::1]" || host == L"::1";
}

std::variant<Target, std::string> ParseUrl(const std::string& url)
{
    if (url.empty() || url.find('\0') != std::string::npos || url.size() > 0x7FFFFFFF)
        return std::string(kNotAUrl);
    const std::optional<std::u16string> units = Utf16FromWellFormedUtf8(url);
    if (!units)
        return std::string(kNotAUrl);
    const std::wstring wide = Wide(*units);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts))
        return std::string(kNotAUrl);
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return std::string(kNotAUrl);
    if (!parts.lpszHostName || parts.dwHostNameLength == 0)
        return std::string(kNotAUrl);
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
    target.hostText = Utf8FromUtf16(Utf16(target.host));
    target.loopback = IsLoopbackHost(target.host);
    return target;
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

std::string NoAnswerWithin(std::int32_t seconds) { return "no answer within " + std::to_string(seconds) + " s"; }

std::string FailureText(DWORD error, const Target& target, std::int32_t timeoutSeconds)
{
    const std::string where = target.hostText + ":" + std::to_string(target.port);
    switch (error) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "cannot connect to " + where;
    case ERROR_WINHTTP_TIMEOUT:
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

// What one exchange's helper thread and its Post share; guarded by
// Shared::mutex.
struct Exchange {
    bool done = false;
    bool abandoned = false;  // Post has returned: stop at the next step
    HttpResponse response;
};

struct Job {
    std::shared_ptr<Win32Http::Shared> shared;
    std::shared_ptr<void> session;
    std::shared_ptr<Exchange> exchange;
    Target target;
    std::string body;
    std::wstring headers;
    std::int32_t timeoutSeconds = 0;

    bool Abandoned() const
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        return exchange->abandoned;
    }
};

HttpResponse Failed(std::string failure)
{
    HttpResponse response;
    response.failure = std::move(failure);
    return response;
}

// The synchronous exchange, on the helper thread.
HttpResponse ExchangeOnce(const Job& job)
{
    const Target& target = job.target;
    const auto lastError = [&job] { return Failed(FailureText(::GetLastError(), job.target, job.timeoutSeconds)); };
    const auto session = static_cast<HINTERNET>(job.session.get());

    UniqueInternet connection(::WinHttpConnect(session, target.host.c_str(), target.port, 0));
    if (!connection)
        return lastError();
    UniqueInternet request(::WinHttpOpenRequest(connection.Get(), L"POST", target.pathAndQuery.c_str(), nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                target.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return lastError();

    const int milliseconds = job.timeoutSeconds * 1000;
    if (!::WinHttpSetTimeouts(request.Get(), milliseconds, milliseconds, milliseconds, milliseconds))
        return lastError();
    if (target.loopback) {
        // A proxy configured for the machine must not see requests to this one.
        WINHTTP_PROXY_INFO direct{};
        direct.dwAccessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
        ::WinHttpSetOption(request.Get(), WINHTTP_OPTION_PROXY, &direct, sizeof(direct));
    }

    const auto bodyBytes = static_cast<DWORD>(job.body.size());
    if (!::WinHttpSendRequest(request.Get(), job.headers.c_str(), static_cast<DWORD>(job.headers.size()),
                              bodyBytes ? const_cast<char*>(job.body.data()) : WINHTTP_NO_REQUEST_DATA, bodyBytes,
                              bodyBytes, 0))
        return lastError();
    if (job.Abandoned())
        return Failed("cancelled");
    if (!::WinHttpReceiveResponse(request.Get(), nullptr))
        return lastError();

    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!::WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
        return lastError();

    std::string answer;
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        if (job.Abandoned())
            return Failed("cancelled");
        DWORD read = 0;
        if (!::WinHttpReadData(request.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read))
            return lastError();
        if (read == 0)
            break;
        if (answer.size() + read > kMaxAnswerBytes)
            return Failed("answer larger than " + std::to_string(kMaxAnswerBytes / (1024 * 1024)) + " MB");
        answer.append(chunk.data(), read);
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
    std::lock_guard<std::mutex> lock(job.shared->mutex);
    job.exchange->response = std::move(response);
    job.exchange->done = true;
    job.shared->changed.notify_all();
}

} // namespace

Win32Http::Win32Http() : shared_(std::make_shared<Shared>()) {}

// Helper threads still running hold their own references to the session and
// the shared state; cancelling makes them stop at their next step.
Win32Http::~Win32Http() { Cancel(); }

void Win32Http::Cancel()
{
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->cancelled = true;
    shared_->changed.notify_all();
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
    if (request.body.size() > 0x7FFFFFFF)
        return Failed("request too large");

    Job job;
    job.shared = shared_;
    job.exchange = std::make_shared<struct Exchange>();
    job.target = std::move(std::get<Target>(parsed));
    job.body = request.body;
    job.timeoutSeconds = request.timeoutSeconds < 1 ? 1 : std::min(request.timeoutSeconds, kMaxTimeoutSeconds);
    job.headers = L"Content-Type: application/json; charset=utf-8\r\n";
    if (!request.bearerToken.empty())
        job.headers += L"Authorization: Bearer " + Wide(Widen(request.bearerToken)) +
                       L"\r\n";

    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        if (!shared_->session) {
            HINTERNET opened = ::WinHttpOpen(L"KestruneEX", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
            if (!opened)
                return Failed("WinHTTP error " + std::to_string(::GetLastError()));
            shared_->session = std::shared_ptr<void>(opened, [](void* h) { ::WinHttpCloseHandle(h); });
        }
        job.session = shared_->session;
    }

    const std::shared_ptr<struct Exchange> exchange = job.exchange;
    const std::int32_t timeoutSeconds = job.timeoutSeconds;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    try {
        std::thread([job = std::move(job)] { RunJob(job); }).detach();
    } catch (const std::system_error&) {
        return Failed("cannot start a thread for the request");
    }

    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->changed.wait_until(lock, deadline, [&] { return exchange->done || shared_->cancelled; });
    if (exchange->done)
        return std::move(exchange->response);
    exchange->abandoned = true;
    return Failed(shared_->cancelled ? "cancelled" : NoAnswerWithin(timeoutSeconds));
}

} // namespace kx::win32
