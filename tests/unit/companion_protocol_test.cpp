#include "companion/http_request.h"
#include "companion/websocket_frames.h"
#include "companion/websocket_handshake.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <string>
#include <vector>

using namespace kx;
using namespace std::string_literals;

namespace {

std::string Hex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes)
        out += {digits[c >> 4], digits[c & 15]};
    return out;
}

// A frame as a browser writes it: masked. `lengthBytes` forces the 16- or
// 64-bit length form; -1 takes the shortest.
std::string Masked(unsigned char first, std::string_view payload, int lengthBytes = -1)
{
    const char key[4] = {'\x37', '\xFA', '\x21', '\x3D'};
    const std::uint64_t n = payload.size();
    const int extra = lengthBytes >= 0 ? lengthBytes : n < 126 ? 0 : n <= 0xFFFF ? 2 : 8;
    std::string frame{static_cast<char>(first), static_cast<char>(0x80 | (extra == 0 ? n : extra == 2 ? 126 : 127))};
    for (int i = extra - 1; i >= 0; --i)
        frame.push_back(static_cast<char>(n >> (8 * i)));
    frame.append(key, 4);
    for (std::size_t i = 0; i < n; ++i)
        frame.push_back(static_cast<char>(payload[i] ^ key[i % 4]));
    return frame;
}

// The events of `bytes` fed in pieces of `piece` bytes, one word each.
std::string Events(std::string_view bytes, std::size_t piece = std::string::npos)
{
    ClientFrameReader reader;
    std::vector<ClientFrameReader::Event> events;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        reader.Feed(bytes.substr(at, piece), events);
    const char* names[] = {"Message", "Ping", "Pong", "Close", "Error"};
    std::string out;
    for (const auto& e : events)
        out += (out.empty() ? "" : " ") + std::string(names[static_cast<int>(e.kind)]) +
               (e.closeCode ? std::to_string(e.closeCode) : "") + (e.payload.empty() ? "" : ":" + e.payload);
    return out;
}

TEST(CompanionHandshake, Sha1AndBase64OfKnownValues)
{
    EXPECT_EQ(Hex(Sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Hex(Sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Hex(Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");  // the padding takes a second block
    EXPECT_EQ(Hex(Sha1(std::string(1000000, 'a'))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    for (const auto& [bytes, text] : {std::pair{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"},
                                      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}}) {
        EXPECT_EQ(Base64(bytes), text);
        EXPECT_EQ(DecodeBase64(text), bytes);
    }
    EXPECT_EQ(WebSocketAccept("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST(CompanionHandshake, DecodeBase64TakesOnlyTheOneWritingOfEachValue)
{
    for (const char* text : {"Zg", "Zg=", "Zm9*", "Zm9v=", "Zg==Zm8=", "Z===", "====", "Zm 9v", "Zh==", "Zm9="})
        EXPECT_FALSE(DecodeBase64(text)) << text;
}

const std::string kUpgrade = "GET /lines HTTP/1.1\r\nHost: 127.0.0.1:8765\r\nUpgrade:  WebSocket \t\r\n"
                             "Connection: keep-alive, Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                             "Sec-WebSocket-Version: 13\r\nX-Twice: one\r\nx-twice: two\r\n\r\n";

TEST(CompanionHttpHead, ReadsTheHeadAndLeavesWhatFollows)
{
    const HeadResult read = ReadRequestHead(kUpgrade + "\x81\x85");
    ASSERT_EQ(read.status, HeadStatus::Complete);
    EXPECT_EQ(read.consumed, kUpgrade.size());
    EXPECT_EQ(read.head.method + " " + read.head.target + " " + read.head.version, "GET /lines HTTP/1.1");
    EXPECT_EQ(read.head.headers.size(), 7u);
    EXPECT_EQ(*read.head.Header("upgrade"), "WebSocket");
    EXPECT_EQ(*read.head.Header("x-twice"), "one");
    EXPECT_EQ(read.head.Header("origin"), nullptr);
    // Bare LFs, and an empty line before the request line.
    const std::string bare = "\r\nGET / HTTP/1.0\nHost: a\n\n";
    EXPECT_EQ(ReadRequestHead(bare).status, HeadStatus::Complete);
    EXPECT_EQ(ReadRequestHead(bare).consumed, bare.size());
}

TEST(CompanionHttpHead, IncompleteUntilTheBlankLineThenTooLargePast8KiB)
{
    for (std::size_t size = 0; size < kUpgrade.size(); ++size)
        EXPECT_EQ(ReadRequestHead(kUpgrade.substr(0, size)).status, HeadStatus::Incomplete) << size;
    const std::string start = "GET / HTTP/1.1\r\nX: ";
    const std::string filler(kMaxRequestHeadBytes - start.size() - 4, 'a');
    EXPECT_EQ(ReadRequestHead(start + filler + "\r\n\r\n").status, HeadStatus::Complete);  // 8192 bytes exactly
    EXPECT_EQ(ReadRequestHead(start + filler + "\r\n\r").status, HeadStatus::Incomplete);
    EXPECT_EQ(ReadRequestHead(start + filler + "a\r\n\r\n").status, HeadStatus::TooLarge);
}

TEST(CompanionHttpHead, MalformedHeads)
{
    for (const std::string& head : std::vector<std::string>{
             "GET /\r\n\r\n", "GET  / HTTP/1.1\r\n\r\n", "GET / HTTP/1.1 \r\n\r\n", "GET / HTTP/2.0\r\n\r\n",
          "GET / http/1.1\r\n\r\n", " / HTTP/1.1\r\n\r\n", "G(T / HTTP/1.1\r\n\r\n", "GET lines HTTP/1.1\r\n\r\n",
          "GET http://a/ HTTP/1.1\r\n\r\n", "GET /\xC3\xA9 HTTP/1.1\r\n\r\n", "GET / HTTP/1.1\r\nHost\r\n\r\n",
          "GET / HTTP/1.1\r\nHost : a\r\n\r\n", "GET / HTTP/1.1\r\n: a\r\n\r\n", "GET / HTTP/1.1\r\nA: b\r\n c\r\n\r\n",
          "GET / HTTP/1.1\r\nA: b\x01\r\n\r\n", "GET / HTTP/1.1\r\nA: b\0c\r\n\r\n"s, "GET / HTTP/1.1\r\nA: b\rc\r\n\r\n",
          "GET / HTTP/1.1\r\nA: \x7F\r\n\r\n", "GET / HTTP/1.1\r\n\tA: b\r\n\r\n"})
        EXPECT_EQ(ReadRequestHead(head).status, HeadStatus::Malformed) << head;
    // Told once the wrong line is whole, without waiting for the rest.
    EXPECT_EQ(ReadRequestHead("\x16\x03\x01\x02\0\x01\n"s).status, HeadStatus::Malformed);
}

HttpRequestHead Head(const std::string& text)
{
    const HeadResult read = ReadRequestHead(text);
    EXPECT_EQ(read.status, HeadStatus::Complete) << text;
    return read.head;
}

TEST(CompanionUpgrade, AWebSocketRequestAndWhatIsNone)
{
    std::string key;
    EXPECT_EQ(CheckWebSocketUpgrade(Head(kUpgrade), &key), UpgradeCheck::Upgrade);
    EXPECT_EQ(key, "dGhlIHNhbXBsZSBub25jZQ==");
    const std::string split = "GET / HTTP/1.1\r\nConnection: keep-alive\r\nConnection: upgrade\r\nUpgrade: h2c, websocket\r\n"
                              "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: AAAAAAAAAAAAAAAAAAAAAA==\r\n\r\n";
    EXPECT_EQ(CheckWebSocketUpgrade(Head(split), nullptr), UpgradeCheck::Upgrade);
    EXPECT_EQ(CheckWebSocketUpgrade(Head("GET / HTTP/1.1\r\nConnection: upgrade\r\nSec-WebSocket-Version: 13\r\n\r\n"),
                                    &key),
              UpgradeCheck::NotUpgrade);
}

TEST(CompanionUpgrade, BadUpgrades)
{
    const auto replaced = [](std::string_view from, std::string_view to) {
        std::string text = kUpgrade;
        return text.replace(text.find(from), from.size(), to);
    };
    for (const std::string& head :
         {replaced("GET", "POST"), replaced("HTTP/1.1", "HTTP/1.0"), replaced("WebSocket", "h2c"),
          replaced("keep-alive, Upgrade", "keep-alive"), replaced("Connection", "X-Connection"),
          replaced("Version: 13", "Version: 8"), replaced("Version: 13", "Version: 13, 8"),
          replaced("Version: 13\r\n", "Version: 13\r\nSec-WebSocket-Version: 13\r\n"),
          replaced("Sec-WebSocket-Key", "Sec-WebSocket-Nonce"), replaced("jZQ==", "jZQ"),
          replaced("jZQ==", "jZa=="), replaced("ZQ==", "ZWU="),  // 17 bytes
          replaced("Version: 13\r\n", "Version: 13\r\nSec-WebSocket-Key: AAAAAAAAAAAAAAAAAAAAAA==\r\n")}) {
        std::string key = "untouched";
        EXPECT_EQ(CheckWebSocketUpgrade(Head(head), &key), UpgradeCheck::BadUpgrade) << head;
        EXPECT_EQ(key, "untouched");
    }
}

TEST(CompanionResponses, WholeResponsesAndTheSwitch)
{
    EXPECT_EQ(HttpResponse(404, "Not Found", "text/plain; charset=utf-8", "no such page"),
              "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 12\r\n"
              "Connection: close\r\n\r\nno such page");
    EXPECT_EQ(HttpResponse(503, "Service Unavailable", "", "", false),
              "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(WebSocketUpgradeResponse("dGhlIHNhbXBsZSBub25jZQ=="),
              "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n");
}

TEST(CompanionFrames, FramesSplitByteByByteReadAsWhole)
{
    // A letter cut between two fragments, with a ping between them; 16- and
    // 64-bit lengths for 5 bytes; a close with its reason.
    const std::string stream = Masked(0x01, "a\xE3\x81") + Masked(0x89, "p") + Masked(0x80, "\x82") +
                               Masked(0x82, "\xFF\xFE\0\x01\x02"s, 2) + Masked(0x81, "hello", 8) + Masked(0x8A, "") +
                               Masked(0x81, std::string(70000, 'x')) + Masked(0x88, "\x03\xE8" "bye");
    const std::string expected = "Ping:p Message Message Message Pong Message Close1000:bye";
    EXPECT_EQ(Events(stream), expected);
    EXPECT_EQ(Events(stream, 1), expected);
    EXPECT_EQ(Events(stream, 3), expected);
}

std::string Code(std::uint16_t code) { return {static_cast<char>(code >> 8), static_cast<char>(code)}; }

TEST(CompanionFrames, CloseCodes)
{
    EXPECT_EQ(Events(Masked(0x88, "")), "Close1005");
    for (const std::uint16_t code : {1000, 1003, 1007, 1011, 1014, 3000, 4999})
        EXPECT_EQ(Events(Masked(0x88, Code(code))),
                  "Close" + std::to_string(code));
    for (const std::uint16_t code : {0, 999, 1004, 1005, 1006, 1015, 1016, 2999, 5000, 65535})
        EXPECT_EQ(Events(Masked(0x88, Code(code))), "Error1002") << code;
}

TEST(CompanionFrames, ErrorsAndTheCodeToCloseWith)
{
    const std::string text = Masked(0x81, "hi");
    std::string unmasked = text;
    unmasked[1] = 0x02;
    unmasked.erase(2, 4);
    const std::pair<std::string, const char*> cases[] = {
        {unmasked, "Error1002"},
        {Masked(0xC1, "hi"), "Error1002"},  // RSV1
        {Masked(0xA1, "hi"), "Error1002"},
        {Masked(0x83, "hi"), "Error1002"},
        {Masked(0x8B, ""), "Error1002"},
        {Masked(0x89, std::string(126, 'p')), "Error1002"},
        {Masked(0x09, "p"), "Error1002"},  // a ping not FIN
        {Masked(0x80, "hi"), "Error1002"},  // a continuation of nothing
        {Masked(0x01, "a") + Masked(0x81, "b"), "Error1002"},
        {"\x82\xFF\x80\0\0\0\0\0\0\0abcd"s, "Error1002"},  // 64-bit length, top bit set
        {Masked(0x88, "\x03"), "Error1002"},
        {Masked(0x81, "a\xC0\x80"), "Error1007"},  // overlong
        {Masked(0x81, "\xED\xA0\x80"), "Error1007"},  // a surrogate
        {Masked(0x81, "\xF4\x90\x80\x80"), "Error1007"},  // past U+10FFFF
        {Masked(0x01, "a\xE3\x81") + Masked(0x80, "b"), "Error1007"},
        {Masked(0x81, "a\xE3"), "Error1007"},  // a letter never finished
        {Masked(0x88, "\x03\xE8\xFF"), "Error1007"},
        // Nothing is read after an error or a close.
        {Masked(0x83, "") + Masked(0x89, "p"), "Error1002"},
        {Masked(0x88, "") + Masked(0x89, "p") + "\xFF", "Close1005"},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(Events(bytes, 1), expected) << Hex(bytes);
}

TEST(CompanionFrames, ALongMessageIsPassedOverNotKept)
{
    // A gibibyte's binary frame, fed a mebibyte at a time: a reader that
    // kept it would leave its mark on the process's peak memory.
    const std::uint64_t size = std::uint64_t{1} << 30;
    std::string head = "\x82\xFF"s;
    for (int shift = 56; shift >= 0; shift -= 8)
        head.push_back(static_cast<char>(size >> shift));
    head += "abcd";
    const std::string piece(1 << 20, '\x5A');
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    ClientFrameReader reader;
    std::vector<ClientFrameReader::Event> events;
    reader.Feed(head, events);
    for (std::uint64_t fed = 0; fed < size; fed += piece.size()) {
        EXPECT_TRUE(events.empty());
        reader.Feed(piece, events);
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ClientFrameReader::Kind::Message);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // KiB
}

TEST(CompanionFrames, ServerFrames)
{
    for (const auto& [size, headSize] : {std::pair<std::size_t, std::size_t>{0, 2}, {125, 2}, {126, 4}, {65535, 4},
                                         {65536, 10}}) {
        const std::string payload(size, 'k');
        const std::string frame = TextFrame(payload);
        ASSERT_EQ(frame.size(), headSize + size);
        EXPECT_EQ(frame[0], '\x81');
        std::uint64_t length = static_cast<unsigned char>(frame[1]);
        if (headSize > 2)
            for (std::size_t i = 2, at = length = 0; i < headSize; ++i, ++at)
                length = length << 8 | static_cast<unsigned char>(frame[i]);
        EXPECT_EQ(length, size);
        EXPECT_EQ(static_cast<unsigned char>(frame[1]), headSize == 2 ? size : headSize == 4 ? 126 : 127);
        EXPECT_EQ(frame.substr(headSize), payload);
    }
    EXPECT_EQ(CloseFrame(1000), "\x88\x02\x03\xE8");
    EXPECT_EQ(CloseFrame(1005), "\x88\x00"s);
    EXPECT_EQ(PongFrame("hi"), "\x8A\x02hi");
    EXPECT_EQ(PongFrame(std::string(200, 'p')), "\x8A\x7D" + std::string(125, 'p'));
}

} // namespace
