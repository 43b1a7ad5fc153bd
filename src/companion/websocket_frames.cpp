#include "companion/websocket_frames.h"

#include "common/utf.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kx {
namespace {

constexpr unsigned char kContinuation = 0x0, kText = 0x1, kBinary = 0x2, kClose = 0x8, kPing = 0x9, kPong = 0xA;
constexpr std::uint16_t kProtocolError = 1002, kInvalidData = 1007, kNoCode = 1005;
constexpr std::size_t kMaxControlPayload = 125;

// RFC 6455 section 7.4: the codes defined for the wire (1012 to 1014 were
// registered with IANA since), then those of libraries (3000-3999) and of
// applications (4000-4999). 1005, 1006 and 1015 only ever stand for "none"
// in an API; the rest of 1000-2999 has no meaning yet, and past 4999 none.
bool CloseCodeOnWire(std::uint16_t code)
{
    return (code >= 1000 && code <= 1003) || (code >= 1007 && code <= 1014) || (code >= 3000 && code <= 4999);
}

std::string Frame(unsigned char opcode, std::string_view payload)
{
    const std::uint64_t size = payload.size();
    std::string out;
    out.reserve(payload.size() + 10);
    out.push_back(static_cast<char>(0x80 | opcode));
    if (size < 126) {
        out.push_back(static_cast<char>(size));
    } else if (size <= 0xFFFF) {
        out.push_back(static_cast<char>(126));
        out.push_back(static_cast<char>(size >> 8));
        out.push_back(static_cast<char>(size));
    } else {
        out.push_back(static_cast<char>(127));
        for (int shift = 56; shift >= 0; shift -= 8)
            out.push_back(static_cast<char>(size >> shift));
    }
    out.append(payload);
    return out;
}

} // namespace

void ClientFrameReader::Feed(std::string_view bytes, std::vector<Event>& out)
{
    std::size_t at = 0;
    while (!done_ && at < bytes.size()) {
        if (!inPayload_) {
            const std::size_t n = std::min(headNeeded_ - headSize_, bytes.size() - at);
            std::memcpy(head_ + headSize_, bytes.data() + at, n);
            headSize_ += n;
            at += n;
            if (headNeeded_ == 2) {
                if (headSize_ == 2)
                    BeginFrame(out);
            } else if (headSize_ == headNeeded_) {
                BeginPayload(out);
            }
            continue;
        }
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, bytes.size() - at));
        if (opcode_ & 0x8) {
            for (std::size_t i = 0; i < n; ++i)
                control_.push_back(static_cast<char>(bytes[at + i] ^ mask_[(maskAt_ + i) & 3]));
        } else if (messageText_) {
            for (std::size_t i = 0; i < n; ++i)
                if (!Utf8Continues(static_cast<unsigned char>(bytes[at + i] ^ mask_[(maskAt_ + i) & 3])))
                    return Fail(kInvalidData, out);
        }
        // A binary message's bytes are only counted.
        maskAt_ = (maskAt_ + n) & 3;
        at += n;
        remaining_ -= n;
        if (remaining_ == 0)
            EndFrame(out);
    }
}

void ClientFrameReader::BeginFrame(std::vector<Event>& out)
{
    fin_ = (head_[0] & 0x80) != 0;
    opcode_ = head_[0] & 0x0F;
    const unsigned length7 = head_[1] & 0x7F;
    if ((head_[0] & 0x70) != 0 || (head_[1] & 0x80) == 0)
        return Fail(kProtocolError, out);
    switch (opcode_) {
    case kContinuation:
        if (!messageOpen_)
            return Fail(kProtocolError, out);
        break;
    case kText:
    case kBinary:
        if (messageOpen_)
            return Fail(kProtocolError, out);
        messageOpen_ = true;
        messageText_ = opcode_ == kText;
        break;
    case kClose:
    case kPing:
    case kPong:
        // Control frames may come between a message's frames, but whole and short.
        if (!fin_ || length7 > kMaxControlPayload)
            return Fail(kProtocolError, out);
        break;
    default:
        return Fail(kProtocolError, out);
    }
    headNeeded_ = 2 + (length7 == 126 ? 2 : length7 == 127 ? 8 : 0) + 4;
}

void ClientFrameReader::BeginPayload(std::vector<Event>& out)
{
    const unsigned length7 = head_[1] & 0x7F;
    std::uint64_t length = length7;
    std::size_t maskAt = 2;
    if (length7 >= 126) {
        maskAt = length7 == 126 ? 4 : 10;
        length = 0;
        for (std::size_t i = 2; i < maskAt; ++i)
            length = length << 8 | head_[i];
        if (length >> 63)
            return Fail(kProtocolError, out);
    }
    std::memcpy(mask_, head_ + maskAt, 4);
    headSize_ = 0;
    headNeeded_ = 2;
    remaining_ = length;
    maskAt_ = 0;
    control_.clear();
    inPayload_ = true;
    if (remaining_ == 0)
        EndFrame(out);
}

void ClientFrameReader::EndFrame(std::vector<Event>& out)
{
    inPayload_ = false;
    switch (opcode_) {
    case kPing:
        out.push_back({Kind::Ping, std::exchange(control_, {}), 0});
        return;
    case kPong:
        out.push_back({Kind::Pong, std::exchange(control_, {}), 0});
        return;
    case kClose: {
        if (control_.size() == 1)
            return Fail(kProtocolError, out);
        std::uint16_t code = kNoCode;
        if (!control_.empty()) {
            code = static_cast<std::uint16_t>(static_cast<unsigned char>(control_[0]) << 8 |
                                              static_cast<unsigned char>(control_[1]));
            if (!CloseCodeOnWire(code))
                return Fail(kProtocolError, out);
            control_.erase(0, 2);
            if (!Utf16FromWellFormedUtf8(control_))
                return Fail(kInvalidData, out);
        }
        out.push_back({Kind::Close, std::exchange(control_, {}), code});
        done_ = true;
        return;
    }
    default:
        if (!fin_)
            return;
        // A letter begun in the last frame and never finished.
        if (messageText_ && utf8Due_ != 0)
            return Fail(kInvalidData, out);
        messageOpen_ = false;
        out.push_back({Kind::Message, {}, 0});
    }
}

void ClientFrameReader::Fail(std::uint16_t code, std::vector<Event>& out)
{
    out.push_back({Kind::Error, {}, code});
    done_ = true;
}

bool ClientFrameReader::Utf8Continues(unsigned char byte)
{
    if (utf8Due_ > 0) {
        if (byte < utf8Low_ || byte > utf8High_)
            return false;
        --utf8Due_;
        utf8Low_ = 0x80;
        utf8High_ = 0xBF;
        return true;
    }
    if (byte < 0x80)
        return true;
    // The second byte's range rules out overlong forms (E0, F0), surrogates
    // (ED) and code points past U+10FFFF (F4).
    if (byte >= 0xC2 && byte <= 0xDF)
        utf8Due_ = 1;
    else if (byte >= 0xE0 && byte <= 0xEF)
        utf8Due_ = 2;
    else if (byte >= 0xF0 && byte <= 0xF4)
        utf8Due_ = 3;
    else
        return false;
    utf8Low_ = byte == 0xE0 ? 0xA0 : byte == 0xF0 ? 0x90 : 0x80;
    utf8High_ = byte == 0xED ? 0x9F : byte == 0xF4 ? 0x8F : 0xBF;
    return true;
}

std::string TextFrame(std::string_view utf8) { return Frame(kText, utf8); }

std::string CloseFrame(std::uint16_t code)
{
    if (!CloseCodeOnWire(code))
        return Frame(kClose, {});
    const char payload[2] = {static_cast<char>(code >> 8), static_cast<char>(code)};
    return Frame(kClose, std::string_view(payload, 2));
}

std::string PongFrame(std::string_view payload) { return Frame(kPong, payload.substr(0, kMaxControlPayload)); }

} // namespace kx
