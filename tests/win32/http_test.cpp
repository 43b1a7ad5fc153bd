#include "platform/win32/win32_http.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using kx::BodyWanted;
using kx::HttpRequest;
using kx::HttpResponse;
using kx::win32::Win32Http;
using Clock = std::chrono::steady_clock;

namespace {

// What the server read: the request line, the headers (names in lower case)
// and the body bytes.
struct SeenRequest {
    std::string requestLine;
    std::map<std::string, std::string> headers;
    std::string body;
};

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// An HTTP server of the tests' own on 127.0.0.1, on a port of the system's
// choosing. It takes one connection, reads one request and either answers it
// (with extra header lines if given) or, when silent, holds the connection
// without a word until it is destroyed, or, when trickling, starts a long
// answer and sends a byte of it every `gapMs` (200 ms by default), or, when
// holding, sends `body` as one chunk of a chunked answer and then neither
// the last chunk nor anything else, until the client closes the connection.
// Everything it waits for is bounded in time.
class LoopbackServer {
public:
    enum class Mode { Answering, Silent, Trickling, Holding };
    static LoopbackServer Answering(int status, std::string body, std::string headers = "")
    {
        return LoopbackServer(Mode::Answering, status, std::move(body), std::move(headers));
    }
    static LoopbackServer Silent() { return LoopbackServer(Mode::Silent, 0, ""); }
    static LoopbackServer Trickling(int gapMs = 200) { return LoopbackServer(Mode::Trickling, 200, "", "", gapMs); }
    static LoopbackServer Holding(std::string body) { return LoopbackServer(Mode::Holding, 200, std::move(body)); }

    LoopbackServer(LoopbackServer&&) = delete;
    ~LoopbackServer()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (listener_ != INVALID_SOCKET)
            ::closesocket(listener_);
        ::WSACleanup();
    }

    int Port() const { return port_; }
    std::string Url(const std::string& pathAndQuery) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
    }

    // The request once it has been read whole; false after 10 s without one.
    bool WaitForRequest(SeenRequest& seen)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, std::chrono::seconds(10), [this] { return haveRequest_; }))
            return false;
        seen = seen_;
        return true;
    }

    bool Accepted() const { return accepted_; }

    // True once the client has closed the connection; false after 10 s.
    bool WaitForClientToClose()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return clientClosed_; });
    }

private:
    LoopbackServer(Mode mode, int status, std::string body, std::string headers = "", int gapMs = 200)
        : mode_(mode), status_(status), body_(std::move(body)), headers_(std::move(headers)), gapMs_(gapMs)
    {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int length = sizeof(address);
        if (listener_ == INVALID_SOCKET ||
            ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;  // Port() stays 0 and the tests' assertions say so
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }

    // Waits until `socket` can be read, up to 100 ms.
    static bool Readable(SOCKET socket)
    {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket, &set);
        timeval tick{0, 100 * 1000};
        return ::select(0, &set, nullptr, nullptr, &tick) == 1;
    }

    bool TimeIsUp(Clock::time_point start) const { return stop_ || Clock::now() - start > std::chrono::seconds(20); }

    void Serve()
    {
        const Clock::time_point start = Clock::now();
        while (!TimeIsUp(start) && !Readable(listener_)) {
        }
        if (TimeIsUp(start))
            return;
        SOCKET client = ::accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            return;
        accepted_ = true;
        std::string received;
        std::size_t headEnd = std::string::npos;
        std::size_t bodyLength = 0;
        while (!TimeIsUp(start)) {
            if (headEnd != std::string::npos && received.size() >= headEnd + 4 + bodyLength)
                break;
            if (!Readable(client))
                continue;
            char buffer[4096];
            const int got = ::recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0)
                break;
            received.append(buffer, static_cast<std::size_t>(got));
            if (headEnd == std::string::npos && (headEnd = received.find("\r\n\r\n")) != std::string::npos) {
                Parse(received.substr(0, headEnd));
                const auto length = seen_.headers.find("content-length");
                if (length != seen_.headers.end())
                    bodyLength = std::stoul(length->second);
            }
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (headEnd != std::string::npos)
                seen_.body = received.substr(headEnd + 4);
            haveRequest_ = true;
            changed_.notify_all();
        }
        if (mode_ == Mode::Silent) {
            while (!TimeIsUp(start))
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } else if (mode_ == Mode::Holding) {
            char size[16];
            std::snprintf(size, sizeof(size), "%zx\r\n", body_.size());
            const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n"
                                       "Transfer-Encoding: chunked\r\n\r\n" + std::string(size) + body_ + "\r\n";
            ::send(client, answer.data(), static_cast<int>(answer.size()), 0);
            while (!TimeIsUp(start)) {
                char byte;
                if (Readable(client) && ::recv(client, &byte, 1, 0) <= 0) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    clientClosed_ = true;
                    changed_.notify_all();
                    break;
                }
            }
        } else if (mode_ == Mode::Trickling) {
            const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
            ::send(client, head.data(), static_cast<int>(head.size()), 0);
            while (!TimeIsUp(start) && ::send(client, "x", 1, 0) == 1)
                std::this_thread::sleep_for(std::chrono::milliseconds(gapMs_));
        } else {
            const std::string answer = "HTTP/1.1 " + std::to_string(status_) + " Whatever\r\n" + headers_ +
                                       "Content-Type: application/json\r\nContent-Length: " +
                                       std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
            std::size_t sent = 0;
            while (sent < answer.size()) {
                const int n = ::send(client, answer.data() + sent, static_cast<int>(answer.size() - sent), 0);
                if (n <= 0)
                    break;
                sent += static_cast<std::size_t>(n);
            }
            ::shutdown(client, SD_SEND);
            // Let the client read everything before the socket goes away.
            while (!TimeIsUp(start) && Readable(client) == false) {
            }
        }
        ::closesocket(client);
    }

    void Parse(const std::string& head)
    {
        std::size_t lineStart = 0;
        bool first = true;
        while (lineStart <= head.size()) {
            std::size_t lineEnd = head.find("\r\n", lineStart);
            if (lineEnd == std::string::npos)
                lineEnd = head.size();
            const std::string line = head.substr(lineStart, lineEnd - lineStart);
            if (first) {
                seen_.requestLine = line;
                first = false;
            } else if (const std::size_t colon = line.find(':'); colon != std::string::npos) {
                std::size_t valueStart = colon + 1;
                while (valueStart < line.size() && line[valueStart] == ' ')
                    ++valueStart;
                seen_.headers[Lower(line.substr(0, colon))] = line.substr(valueStart);
            }
            lineStart = lineEnd + 2;
        }
    }

    const Mode mode_;
    const int status_;
    const std::string body_;
    const std::string headers_;
    const int gapMs_;
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> accepted_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    bool haveRequest_ = false;
    bool clientClosed_ = false;  // guarded by mutex_
    SeenRequest seen_;  // guarded by mutex_ once haveRequest_ is set
    std::thread thread_;
};

HttpRequest Request(const std::string& url, const std::string& body, const std::string& token = "",
                    int timeoutSeconds = 10)
{
    HttpRequest request;
    request.url = url;
    request.body = body;
    request.bearerToken = token;
    request.timeoutSeconds = timeoutSeconds;
    return request;
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A port nothing listens on: one the system just gave out and took back.
int ClosedPort()
{
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(s);
    ::WSACleanup();
    return ntohs(address.sin_port);
}

// UTF-8 with two-, three- and four-byte sequences, quotes and a backslash.
const std::string kJapaneseBody =
    "{\"model\":\"m\",\"text\":\"\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF \xC3\xA9 "
    "\xF0\x9F\x98\x80 \\\"q\\\" \\\\\"}";

TEST(HttpTest, PostSendsPathHeadersAndTheExactBodyBytesAndReadsTheAnswer)
{
    const std::string answer = "{\"choices\":[{\"text\":\"Hello \xE2\x80\x94 \xF0\x9F\x98\x80\"}]}";
    LoopbackServer server = LoopbackServer::Answering(200, answer);
    ASSERT_NE(server.Port(), 0);
    Win32Http http;
    const HttpResponse response =
        http.Post(Request(server.Url("/v1/chat/completions?mode=fast"), kJapaneseBody, "sk-test-123"));

    SeenRequest seen;
    ASSERT_TRUE(server.WaitForRequest(seen));
    EXPECT_EQ(seen.requestLine, "POST /v1/chat/completions?mode=fast HTTP/1.1");
    EXPECT_EQ(seen.headers["content-type"], "application/json; charset=utf-8");
    EXPECT_EQ(seen.headers["authorization"], "Bearer sk-test-123");
    EXPECT_EQ(seen.headers["content-length"], std::to_string(kJapaneseBody.size()));
    EXPECT_EQ(seen.headers["host"], "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(seen.body, kJapaneseBody);

    EXPECT_TRUE(response.received) << response.failure;
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, answer);
    EXPECT_EQ(response.failure, "");
}

TEST(HttpTest, NoTokenSendsNoAuthorizationAndABareHostGetsTheRootPath)
{
    LoopbackServer server = LoopbackServer::Answering(200, "{}");
    ASSERT_NE(server.Port(), 0);
    Win32Http http;
    const HttpResponse response = http.Post(Request(server.Url(""), "{}"));
    SeenRequest seen;
    ASSERT_TRUE(server.WaitForRequest(seen));
    EXPECT_EQ(seen.requestLine, "POST / HTTP/1.1");
    EXPECT_EQ(seen.headers.count("authorization"), 0u);
    EXPECT_EQ(seen.headers["content-type"], "application/json; charset=utf-8");
    EXPECT_EQ(seen.body, "{}");
    EXPECT_TRUE(response.received) << response.failure;
    EXPECT_EQ(response.body, "{}");
}

// Extra header lines arrive as the caller gave them, the port's own too.
TEST(HttpTest, ExtraHeadersArriveAsGiven)
{
    LoopbackServer server = LoopbackServer::Answering(200, "{}");
    ASSERT_NE(server.Port(), 0);
    Win32Http http;
    HttpRequest request = Request(server.Url("/v2/translate"), "{}");
    request.headers = {{"Authorization", "DeepL-Auth-Key k-1:fx"}, {"X-NCP-APIGW-API-KEY-ID", "id 7"}};
    const HttpResponse response = http.Post(request);
    EXPECT_TRUE(response.received) << response.failure;
    SeenRequest seen;
    ASSERT_TRUE(server.WaitForRequest(seen));
    EXPECT_EQ(seen.headers["authorization"], "DeepL-Auth-Key k-1:fx");
    EXPECT_EQ(seen.headers["x-ncp-apigw-api-key-id"], "id 7");
    EXPECT_EQ(seen.headers["content-type"], "application/json; charset=utf-8");
}

// A name or value that could end its line, and so add lines of its own, or
// that is no printable ASCII, is refused before anything is sent.
TEST(HttpTest, AHeaderThatCannotBeSentAsGivenIsRefusedBeforeConnecting)
{
    LoopbackServer server = LoopbackServer::Answering(200, "{}");
    ASSERT_NE(server.Port(), 0);
    Win32Http http;
    const struct {
        std::pair<std::string, std::string> header;
        std::string failure;
    } cases[] = {
        {{"X-Key", "k\r\nX-Injected: 1"}, "the X-Key header has characters a header cannot carry"},
        {{"X-Key", "k\n"}, "the X-Key header has characters a header cannot carry"},
        {{"X-Key", "\xE9\x8D\xB5"}, "the X-Key header has characters a header cannot carry"},
        {{"X-Injected: 1\r\nX-Key", "k"}, "a request header's name has characters a header cannot carry"},
        {{"X Key", "k"}, "a request header's name has characters a header cannot carry"},
        {{"", "k"}, "a request header's name has characters a header cannot carry"},
    };
    for (const auto& c : cases) {
        HttpRequest request = Request(server.Url("/"), "{}", "", 5);
        request.headers = {c.header};
        const HttpResponse response = http.Post(request);
        EXPECT_FALSE(response.received);
        EXPECT_EQ(response.failure, c.failure);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(server.Accepted());
}

// Any status is an answer; what it means is the caller's business.
TEST(HttpTest, ErrorStatusIsAReceivedAnswerWithItsBody)
{
    LoopbackServer server = LoopbackServer::Answering(500, "{\"error\":\"overloaded\"}");
    ASSERT_NE(server.Port(), 0);
    Win32Http http;
    const HttpResponse response = http.Post(Request(server.Url("/x"), "{}", "k"));
    EXPECT_TRUE(response.received) << response.failure;
    EXPECT_EQ(response.status, 500);
    EXPECT_EQ(response.body, "{\"error\":\"overloaded\"}");
}

// Larger than one read: the pieces come back whole and in order.
TEST(HttpTest, LongAnswerIsReadWhole)
{
    std::string answer;
    for (int i = 0; answer.size() < 3 * 1024 * 1024; ++i)
        answer += std::to_string(i) + ",";
    LoopbackServer server = LoopbackServer::Answering(200, answer);
    ASSERT_NE(server.Port(), 0);
    Win32Http http;
    const HttpResponse response = http.Post(Request(server.Url("/long"), "{}"));
    EXPECT_TRUE(response.received) << response.failure;
    EXPECT_EQ(response.body.size(), answer.size());
    EXPECT_TRUE(response.body == answer);
}

TEST(HttpTest, ClosedPortIsCannotConnect)
{
    const int port = ClosedPort();
    ASSERT_NE(port, 0);
    Win32Http http;
    const Clock::time_point start = Clock::now();
    const HttpResponse response =
        http.Post(Request("http://127.0.0.1:" + std::to_string(port) + "/v1", "{}", "", 5));
    EXPECT_FALSE(response.received);
    EXPECT_EQ(response.failure, "cannot connect to 127.0.0.1:" + std::to_string(port));
    EXPECT_LT(SecondsSince(start), 10.0);
}

// The server takes the request and never answers. The Win32Http goes away
// before the server does, while its helper thread is still waiting.
TEST(HttpTest, SilentServerEndsInTheTimeOut)
{
    LoopbackServer server = LoopbackServer::Silent();
    ASSERT_NE(server.Port(), 0);
    HttpResponse response;
    const Clock::time_point start = Clock::now();
    {
        Win32Http http;
        response = http.Post(Request(server.Url("/slow"), "{}", "", 1));
    }
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_FALSE(response.received);
    EXPECT_EQ(response.failure, "no answer within 1 s");
    SeenRequest seen;
    EXPECT_TRUE(server.WaitForRequest(seen));
    EXPECT_EQ(seen.body, "{}");
}

// Every read gets a byte well within WinHTTP's own time-out; only the bound
// on the whole exchange ends it.
TEST(HttpTest, TricklingAnswerIsCutOffAtTheTimeOut)
{
    LoopbackServer server = LoopbackServer::Trickling();
    ASSERT_NE(server.Port(), 0);
    Win32Http http;
    const Clock::time_point start = Clock::now();
    const HttpResponse response = http.Post(Request(server.Url("/drip"), "{}", "", 2));
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_FALSE(response.received);
    EXPECT_EQ(response.failure, "no answer within 2 s");
}

// A streamed answer reaches the caller piece by piece while it is still
// coming, on the caller's own thread.
TEST(HttpTest, PiecesOfTheBodyAreHandedOnAsTheyArrive)
{
    LoopbackServer server = LoopbackServer::Trickling(100);
    ASSERT_NE(server.Port(), 0);
    Win32Http http;
    HttpRequest request = Request(server.Url("/stream"), "{}", "", 2);
    std::string received;
    int pieces = 0;
    bool otherThread = false;
    const std::thread::id caller = std::this_thread::get_id();
    request.onBodyPiece = [&](std::string_view piece) {
        received += piece;
        ++pieces;
        otherThread |= std::this_thread::get_id() != caller;
        return BodyWanted::More;
    };
    const HttpResponse response = http.Post(request);
    EXPECT_FALSE(response.received);  // cut off at the time-out, after many pieces
    EXPECT_GE(pieces, 5);
    EXPECT_EQ(received, std::string(received.size(), 'x'));
    EXPECT_FALSE(otherThread);
}

// A server that ends its event stream and keeps the connection: the caller
// has had enough, and Post returns what came as the answer and closes the
// connection, long before the time-out, leaving no helper behind.
TEST(HttpTest, ACallerThatHasHadEnoughEndsTheExchangeAndTheConnection)
{
    const std::string events = "data: {\"n\":1}\n\ndata: [DONE]\n\n";
    LoopbackServer server = LoopbackServer::Holding(events);
    ASSERT_NE(server.Port(), 0);
    Win32Http http;
    HttpRequest request = Request(server.Url("/stream"), "{}", "", 20);
    std::string received;
    request.onBodyPiece = [&](std::string_view piece) {
        received += piece;
        return received.find("[DONE]") != std::string::npos ? BodyWanted::Enough : BodyWanted::More;
    };
    const HttpResponse response = http.Post(request);
    EXPECT_TRUE(response.received) << response.failure;
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, received);
    EXPECT_NE(received.find("[DONE]"), std::string::npos);
    EXPECT_TRUE(server.WaitForClientToClose());
    const Clock::time_point returned = Clock::now();
    while (http.HelperThreads() > 0 && SecondsSince(returned) < 5.0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(http.HelperThreads(), 0);
}

// Servers that send a byte now and then, each well within any per-read
// time-out, and stay: each Post ends at its time-out and its helper thread
// with it, so that helpers never pile up.
TEST(HttpTest, TricklingServersKeepNoHelperThreadPastTheTimeOut)
{
    Win32Http http;
    std::vector<std::unique_ptr<LoopbackServer>> servers;
    for (int i = 0; i < 3; ++i) {
        servers.emplace_back(new LoopbackServer(LoopbackServer::Trickling(300)));
        ASSERT_NE(servers.back()->Port(), 0);
        const Clock::time_point start = Clock::now();
        const HttpResponse response = http.Post(Request(servers.back()->Url("/drip"), "{}", "", 1));
        EXPECT_LT(SecondsSince(start), 5.0);
        EXPECT_FALSE(response.received);
        EXPECT_EQ(response.failure, "no answer within 1 s");
        EXPECT_LE(http.HelperThreads(), 2);
        const Clock::time_point returned = Clock::now();
        while (http.HelperThreads() > 0 && SecondsSince(returned) < 3.0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(http.HelperThreads(), 0) << "after post " << i;
    }
}

// A redirect is the answer: the place it names never sees the request, and
// with it the key.
TEST(HttpTest, RedirectsAreNotFollowed)
{
    LoopbackServer elsewhere = LoopbackServer::Answering(200, "{}");
    ASSERT_NE(elsewhere.Port(), 0);
    LoopbackServer redirecting =
        LoopbackServer::Answering(307, "", "Location: " + elsewhere.Url("/stolen") + "\r\n");
    ASSERT_NE(redirecting.Port(), 0);
    Win32Http http;
    const HttpResponse response = http.Post(Request(redirecting.Url("/v1"), "{}", "sk-key", 5));
    EXPECT_TRUE(response.received) << response.failure;
    EXPECT_EQ(response.status, 307);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(elsewhere.Accepted());
}

TEST(HttpTest, CancelEndsThePendingPostAndEveryLaterOne)
{
    LoopbackServer silent = LoopbackServer::Silent();
    ASSERT_NE(silent.Port(), 0);
    Win32Http http;
    HttpResponse pending;
    std::thread poster([&] { pending = http.Post(Request(silent.Url("/wait"), "{}", "", 60)); });
    SeenRequest seen;
    const bool requestArrived = silent.WaitForRequest(seen);
    const Clock::time_point cancelledAt = Clock::now();
    http.Cancel();
    poster.join();
    EXPECT_TRUE(requestArrived);
    EXPECT_LT(SecondsSince(cancelledAt), 5.0);
    EXPECT_FALSE(pending.received);
    EXPECT_EQ(pending.failure, "cancelled");

    // A server that would answer is not even asked.
    LoopbackServer answering = LoopbackServer::Answering(200, "{}");
    ASSERT_NE(answering.Port(), 0);
    const Clock::time_point later = Clock::now();
    const HttpResponse after = http.Post(Request(answering.Url("/"), "{}", "", 60));
    EXPECT_LT(SecondsSince(later), 5.0);
    EXPECT_FALSE(after.received);
    EXPECT_EQ(after.failure, "cancelled");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(answering.Accepted());
}

TEST(HttpTest, MalformedUrlsAreFailuresNotCrashes)
{
    Win32Http http;
    for (const std::string& url : std::vector<std::string>{"ftp://x", "", "http://", "https://", "no scheme at all", "http//127.0.0.1/",
                                  "file:///C:/x", std::string("http://127.0.0.1\0/", 18),
                                  std::string("http://\xFF\xFE/")}) {
        const HttpResponse response = http.Post(Request(url, "{}", "", 2));
        EXPECT_FALSE(response.received) << url;
        EXPECT_EQ(response.failure, "not an http or https URL") << url;
    }
    // Not a URL WinHTTP reads alike everywhere; it must only fail in words.
    const HttpResponse badPort = http.Post(Request("http://127.0.0.1:99999/", "{}", "", 2));
    EXPECT_FALSE(badPort.received);
    EXPECT_FALSE(badPort.failure.empty());
}

// A key with a line break would add header lines of its own; user info in
// the URL could make the host another than it seems.
TEST(HttpTest, TokenThatCannotBeAHeaderOrAUrlWithUserInfoIsRefusedBeforeConnecting)
{
    LoopbackServer server = LoopbackServer::Answering(200, "{}");
    ASSERT_NE(server.Port(), 0);
    Win32Http http;
    for (const std::string& token : std::vector<std::string>{"sk\r\nX-Injected: 1", "sk\n", std::string("sk\0x", 4), "\xE9\x8D\xB5"}) {
        const HttpResponse response = http.Post(Request(server.Url("/"), "{}", token, 5));
        EXPECT_FALSE(response.received);
        EXPECT_EQ(response.failure, "the API key has characters a header cannot carry");
    }
    for (const std::string& url : {"http://a.example@127.0.0.1:" + std::to_string(server.Port()) + "/",
                                   "http://u:p@127.0.0.1:" + std::to_string(server.Port()) + "/"}) {
        const HttpResponse response = http.Post(Request(url, "{}", "sk", 5));
        EXPECT_FALSE(response.received);
        EXPECT_EQ(response.failure, "a URL with a user name or password is not used");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(server.Accepted());
}

} // namespace
