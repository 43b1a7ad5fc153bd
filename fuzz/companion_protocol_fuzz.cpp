// The reading companion's readers, whatever a connection brings: no crash,
// the same answer however the bytes are cut, a head that reads back as it
// was read, and the server's own frames read back by the page's reader (its
// UTF-8 check against the one in common/utf).
#include "companion/http_request.h"
#include "companion/websocket_frames.h"
#include "companion/websocket_handshake.h"
#include "common/text.h"
#include "common/utf.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using kx::fuzz::Check;
using Event = kx::ClientFrameReader::Event;
using Kind = kx::ClientFrameReader::Kind;

namespace {

bool SameEvents(const std::vector<Event>& a, const std::vector<Event>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].payload != b[i].payload || a[i].closeCode != b[i].closeCode)
            return false;
    return true;
}

std::vector<Event> Read(std::string_view bytes, std::size_t cut)
{
    kx::ClientFrameReader reader;
    std::vector<Event> events;
    for (std::size_t at = 0; at < bytes.size(); at += cut)
        reader.Feed(bytes.substr(at, cut), events);
    return events;
}

// A server's frame as a page would send it: the mask bit, a key, the payload masked.
std::string AsClientFrame(const std::string& frame, const unsigned char key[4], bool fin = true)
{
    const unsigned length7 = static_cast<unsigned char>(frame[1]) & 0x7F;
    const std::size_t head = length7 == 126 ? 4 : length7 == 127 ? 10 : 2;
    std::string out = frame.substr(0, head);
    if (!fin)
        out[0] = static_cast<char>(out[0] & 0x7F);
    out[1] = static_cast<char>(out[1] | 0x80);
    out.append(reinterpret_cast<const char*>(key), 4);
    for (std::size_t i = head; i < frame.size(); ++i)
        out.push_back(static_cast<char>(frame[i] ^ key[(i - head) % 4]));
    return out;
}

void CheckHead(std::string_view bytes, std::size_t cut)
{
    const kx::HeadResult whole = kx::ReadRequestHead(bytes);
    // A longer input changes only an Incomplete answer.
    for (std::size_t n = 0; n < bytes.size(); n += bytes.size() / 8 + cut) {
        const kx::HeadResult prefix = kx::ReadRequestHead(bytes.substr(0, n));
        Check(prefix.status == kx::HeadStatus::Incomplete ||
              (prefix.status == whole.status && prefix.consumed == whole.consumed));
    }
    if (whole.status != kx::HeadStatus::Complete)
        return;
    Check(whole.consumed <= bytes.size() && whole.consumed <= kx::kMaxRequestHeadBytes);
    Check(bytes[whole.consumed - 1] == '\n');
    Check(kx::ReadRequestHead(bytes.substr(0, whole.consumed - 1)).status == kx::HeadStatus::Incomplete);
    const kx::HttpRequestHead& head = whole.head;
    Check(!head.method.empty() && head.target[0] == '/' && head.version.rfind("HTTP/1.", 0) == 0);

    // Written out again in the plain form, it reads as the same head.
    std::string written = head.method + " " + head.target + " " + head.version + "\r\n";
    for (const auto& [name, value] : head.headers) {
        Check(!name.empty() && name == kx::LowerAscii(name));
        Check(value.empty() || (value.front() != ' ' && value.front() != '\t' && value.back() != ' ' && value.back() != '\t'));
        written += name + ": " + value + "\r\n";
    }
    written += "\r\n";
    if (written.size() <= kx::kMaxRequestHeadBytes) {
        const kx::HeadResult again = kx::ReadRequestHead(written);
        Check(again.status == kx::HeadStatus::Complete && again.consumed == written.size());
        Check(again.head.method == head.method && again.head.target == head.target &&
              again.head.version == head.version && again.head.headers == head.headers);
    }

    std::string key;
    if (kx::CheckWebSocketUpgrade(head, &key) == kx::UpgradeCheck::Upgrade) {
        const auto nonce = kx::DecodeBase64(key);
        Check(nonce && nonce->size() == 16);
        Check(kx::WebSocketAccept(key).size() == 28);
    }
}

void CheckFrames(std::string_view bytes, std::size_t cut)
{
    const std::vector<Event> whole = Read(bytes, bytes.size() + 1);
    Check(SameEvents(whole, Read(bytes, cut)));
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const Event& e = whole[i];
        const bool last = i + 1 == whole.size();
        switch (e.kind) {
        case Kind::Message:
            Check(e.payload.empty() && e.closeCode == 0);
            break;
        case Kind::Ping:
        case Kind::Pong:
            Check(e.payload.size() <= 125 && e.closeCode == 0);
            break;
        case Kind::Close:
            Check(last && e.payload.size() <= 123 && kx::Utf16FromWellFormedUtf8(e.payload));
            Check(e.closeCode >= 1000 && e.closeCode < 5000);
            Check(e.closeCode != 1005 || e.payload.empty());
            break;
        case Kind::Error:
            Check(last && e.payload.empty() && (e.closeCode == 1002 || e.closeCode == 1007));
            break;
        }
    }
}

void CheckServerFrames(std::string_view bytes, std::size_t cut, const unsigned char key[4])
{
    // A text message, whole and in two fragments cut anywhere (a letter too):
    // a Message exactly when the text is well-formed UTF-8.
    const bool wellFormed = kx::Utf16FromWellFormedUtf8(bytes).has_value();
    const std::vector<Event> textRead = Read(AsClientFrame(kx::TextFrame(bytes), key), cut);
    Check(textRead.size() == 1);
    Check(wellFormed ? textRead[0].kind == Kind::Message
                     : textRead[0].kind == Kind::Error && textRead[0].closeCode == 1007);
    const std::size_t split = bytes.empty() ? 0 : cut % (bytes.size() + 1);
    std::string fragments = AsClientFrame(kx::TextFrame(bytes.substr(0, split)), key, false);
    std::string rest = kx::TextFrame(bytes.substr(split));
    rest[0] = static_cast<char>(0x80);  // a continuation, FIN
    fragments += AsClientFrame(rest, key);
    Check(SameEvents(textRead, Read(fragments, cut)));

    const std::vector<Event> pong = Read(AsClientFrame(kx::PongFrame(bytes), key), cut);
    Check(pong.size() == 1 && pong[0].kind == Kind::Pong && pong[0].payload == bytes.substr(0, 125));

    const auto code = static_cast<std::uint16_t>(key[0] << 8 | key[1]);
    const std::vector<Event> close = Read(AsClientFrame(kx::CloseFrame(code), key), cut);
    Check(close.size() == 1 && close[0].kind == Kind::Close &&
          (close[0].closeCode == code || (close[0].closeCode == 1005 && kx::CloseFrame(code).size() == 2)));
}

void CheckBase64(std::string_view bytes)
{
    const std::string text = kx::Base64(bytes);
    Check(text.size() == (bytes.size() + 2) / 3 * 4 && kx::DecodeBase64(text) == bytes);
    if (const auto decoded = kx::DecodeBase64(bytes))
        Check(kx::Base64(*decoded) == bytes);  // one writing for each value
    Check(kx::Sha1(bytes).size() == 20);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 5)
        return 0;
    const std::size_t cut = 1 + data[0] % 16;
    const unsigned char* key = data + 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 5), size - 5);
    CheckHead(bytes, cut);
    CheckFrames(bytes, cut);
    CheckServerFrames(bytes, cut, key);
    CheckBase64(bytes);
    return 0;
}
