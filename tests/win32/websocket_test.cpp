#include "platform/win32/win32_websocket.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <string>
#include <thread>

using kx::WebSocketMessage;
using kx::win32::Win32WebSocket;
using namespace std::chrono_literals;
using Kind = WebSocketMessage::Kind;

namespace {

// A WebSocket server of the tests' own on 127.0.0.1: it takes one connection,
// answers the upgrade (or refuses it with 404), and then sends and reads
// frames as the test says. Every wait is bounded.
class LoopbackWebSocketServer {
public:
    explicit LoopbackWebSocketServer(bool upgrade = true) : upgrade_(upgrade)
    {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        accepted_ = std::async(std::launch::async, [this] { return Accept(); });
    }
    ~LoopbackWebSocketServer()
    {
        ::closesocket(listener_);
        if (accepted_.valid())
            accepted_.wait();
        if (client_ != INVALID_SOCKET)
            ::closesocket(client_);
        ::WSACleanup();
    }

    std::string Url() const { return "ws://127.0.0.1:" + std::to_string(port_) + "/api/ws"; }
    // Whether the handshake is done (within 10 s).
    bool Upgraded() { return accepted_.wait_for(10s) == std::future_status::ready && accepted_.get(); }

    static std::string Frame(int opcode, const std::string& payload, bool final = true)
    {
        std::string frame(1, static_cast<char>((final ? 0x80 : 0) | opcode));
        if (payload.size() < 126) {
            frame += static_cast<char>(payload.size());
        } else {
            frame += static_cast<char>(127);
            for (int shift = 56; shift >= 0; shift -= 8)
                frame += static_cast<char>((static_cast<unsigned long long>(payload.size()) >> shift) & 0xFF);
        }
        return frame + payload;
    }
    void Send(const std::string& bytes) { ::send(client_, bytes.data(), static_cast<int>(bytes.size()), 0); }

    // The next frame from the client, unmasked: its opcode and payload.
    std::optional<std::pair<int, std::string>> ReadFrame()
    {
        std::string head;
        if (!ReadExactly(2, head))
            return std::nullopt;
        std::size_t length = static_cast<unsigned char>(head[1]) & 0x7F;
        std::string extended;
        if (length >= 126) {
            if (!ReadExactly(length == 126 ? 2 : 8, extended))
                return std::nullopt;
            length = 0;
            for (char c : extended)
                length = length << 8 | static_cast<unsigned char>(c);
        }
        std::string mask, payload;
        if (!ReadExactly(4, mask) || !ReadExactly(length, payload))
            return std::nullopt;
        for (std::size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<char>(payload[i] ^ mask[i % 4]);
        return std::make_pair(static_cast<unsigned char>(head[0]) & 0x0F, payload);
    }

private:
    bool ReadExactly(std::size_t count, std::string& out)
    {
        out.clear();
        while (out.size() < count) {
            char buffer[4096];
            const int got = ::recv(client_, buffer, static_cast<int>(std::min(sizeof buffer, count - out.size())), 0);
            if (got <= 0)
                return false;
            out.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }

    static std::string AcceptKey(const std::string& key)
    {
        const std::string text = key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
        HCRYPTPROV provider = 0;
        HCRYPTHASH hash = 0;
        BYTE digest[20];
        DWORD digestSize = sizeof digest;
        ::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT);
        ::CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash);
        ::CryptHashData(hash, reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()), 0);
        ::CryptGetHashParam(hash, HP_HASHVAL, digest, &digestSize, 0);
        ::CryptDestroyHash(hash);
        ::CryptReleaseContext(provider, 0);
        char base64[64];
        DWORD base64Size = sizeof base64;
        ::CryptBinaryToStringA(digest, digestSize, CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, base64, &base64Size);
        return std::string(base64, base64Size);
    }

    bool Accept()
    {
        client_ = ::accept(listener_, nullptr, nullptr);
        if (client_ == INVALID_SOCKET)
            return false;
        DWORD timeoutMs = 10000;
        ::setsockopt(client_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
        std::string request;
        while (request.find("\r\n\r\n") == std::string::npos) {
            char buffer[4096];
            const int got = ::recv(client_, buffer, sizeof buffer, 0);
            if (got <= 0)
                return false;
            request.append(buffer, static_cast<std::size_t>(got));
        }
        if (!upgrade_) {
            Send("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
            return false;
        }
        const std::string name = "Sec-WebSocket-Key:";
        const std::size_t at = request.find(name);
        if (at == std::string::npos)
            return false;
        const std::size_t start = request.find_first_not_of(' ', at + name.size());
        const std::string key = request.substr(start, request.find("\r\n", start) - start);
        Send("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
             "Sec-WebSocket-Accept: " + AcceptKey(key) + "\r\n\r\n");
        return true;
    }

    bool upgrade_;
    SOCKET listener_ = INVALID_SOCKET;
    SOCKET client_ = INVALID_SOCKET;
    int port_ = 0;
    std::future<bool> accepted_;
};

// A port nothing listens on: bound by the system's choice, then let go.
int FreePort()
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

std::string Close1000() { return std::string("\x03\xE8", 2); }

TEST(Win32WebSocket, MessagesWholeWhateverTheirFramesAndACloseFrameAtTheEnd)
{
    LoopbackWebSocketServer server;
    Win32WebSocket port;
    kx::WebSocketOpened opened = port.Connect(server.Url());
    ASSERT_TRUE(opened.connection) << opened.failure;
    ASSERT_TRUE(server.Upgraded());
    const std::string large(200 * 1024, 'y');
    server.Send(LoopbackWebSocketServer::Frame(1, "\xE3\x81\x82 one") + LoopbackWebSocketServer::Frame(1, "two, ", false) +
                LoopbackWebSocketServer::Frame(0, "in pieces") + LoopbackWebSocketServer::Frame(2, "binary") +
                LoopbackWebSocketServer::Frame(1, large) + LoopbackWebSocketServer::Frame(1, std::string(70000, 'z')) +
                LoopbackWebSocketServer::Frame(1, "after"));
    const auto next = [&] { return opened.connection->Receive(100000); };
    WebSocketMessage m = next();
    EXPECT_EQ(m.kind, Kind::Text);
    EXPECT_EQ(m.bytes, "\xE3\x81\x82 one");
    EXPECT_EQ(next().bytes, "two, in pieces");
    EXPECT_EQ(next().kind, Kind::Binary);
    m = next();
    EXPECT_EQ(m.kind, Kind::TooLarge) << "read through, not kept";
    EXPECT_TRUE(m.bytes.empty());
    EXPECT_EQ(next().bytes, std::string(70000, 'z')) << "under the limit";
    EXPECT_EQ(next().bytes, "after") << "the connection stays up";

    opened.connection.reset();
    const auto frame = server.ReadFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->first, 8) << "a close frame";
    EXPECT_EQ(frame->second, Close1000());
}

TEST(Win32WebSocket, ShutdownFromAnotherThreadEndsAReceiveThatWaits)
{
    LoopbackWebSocketServer server;
    Win32WebSocket port;
    kx::WebSocketOpened opened = port.Connect(server.Url());
    ASSERT_TRUE(opened.connection) << opened.failure;
    ASSERT_TRUE(server.Upgraded());
    std::future<WebSocketMessage> received =
        std::async(std::launch::async, [&] { return opened.connection->Receive(1 << 20); });
    EXPECT_EQ(received.wait_for(300ms), std::future_status::timeout) << "a quiet server: nothing yet";
    opened.connection->Shutdown();
    const auto frame = server.ReadFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->first, 8);
    server.Send(LoopbackWebSocketServer::Frame(8, Close1000()));
    ASSERT_EQ(received.wait_for(5s), std::future_status::ready);
    const WebSocketMessage m = received.get();
    EXPECT_EQ(m.kind, Kind::Closed);
    EXPECT_EQ(m.failure, "the server closed the connection");
    EXPECT_EQ(opened.connection->Receive(1 << 20).kind, Kind::Closed) << "and so it stays";
}

TEST(Win32WebSocket, WhyAConnectionCouldNotBeMade)
{
    Win32WebSocket port(2000);
    EXPECT_EQ(port.Connect("http://127.0.0.1:6677").failure, "not a ws:// or wss:// URL");
    EXPECT_EQ(port.Connect("ws://").failure, "not a ws:// or wss:// URL");
    kx::WebSocketOpened refused = port.Connect("ws://127.0.0.1:" + std::to_string(FreePort()));
    EXPECT_FALSE(refused.connection);
    EXPECT_EQ(refused.failure, "the connection was refused");
    LoopbackWebSocketServer notWebSocket(false);
    kx::WebSocketOpened answered = port.Connect(notWebSocket.Url());
    EXPECT_FALSE(answered.connection);
    EXPECT_NE(answered.failure.find("HTTP 404"), std::string::npos) << answered.failure;
}

} // namespace
