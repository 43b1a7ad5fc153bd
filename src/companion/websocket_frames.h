#pragma once
// The server side of RFC 6455 for the reading companion. The server is
// read-only: what a page sends is read and ignored, so data messages are
// not kept. Their payload bytes are passed over as they stream in (a text
// message's only checked to be UTF-8), so memory stays bounded whatever
// length a frame announces.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

class ClientFrameReader {
public:
    enum class Kind { Message, Ping, Pong, Close, Error };
    struct Event {
        Kind kind = Kind::Error;
        std::string payload;          // Ping/Pong: the payload (<=125); Close: the reason bytes; else empty
        std::uint16_t closeCode = 0;  // Close: the code sent (1005 when none); Error: the code to close with
    };

    // Feeds bytes as they come (cut anywhere, one byte at a time too) and
    // appends each event they complete: Message once the last frame of a
    // data message ends. After Close or Error nothing more is read, and a
    // later Feed appends nothing.
    // Error, 1002: an unmasked frame, RSV bits (no extension is agreed), an
    // unknown opcode, a control frame over 125 bytes or not FIN, a
    // continuation with no message begun, a new message inside a fragmented
    // one, a 64-bit length with its top bit set, a close payload of 1 byte or
    // a close code not allowed on the wire. Error, 1007: a text message or a
    // close reason that is not well-formed UTF-8 (told at the first byte that
    // cannot belong; a letter split across frames is fine). A length written
    // in more bytes than it needs is accepted.
    void Feed(std::string_view bytes, std::vector<Event>& out);

private:
    void BeginFrame(std::vector<Event>& out);
    void BeginPayload(std::vector<Event>& out);
    void EndFrame(std::vector<Event>& out);
    void Fail(std::uint16_t code, std::vector<Event>& out);
    bool Utf8Continues(unsigned char byte);

    bool done_ = false;
    // The frame's head: 2 bytes, the extended length, the masking key.
    unsigned char head_[14] = {};
    std::size_t headSize_ = 0;
    std::size_t headNeeded_ = 2;
    bool inPayload_ = false;
    bool fin_ = false;
    unsigned char opcode_ = 0;
    std::uint64_t remaining_ = 0;  // payload bytes still to come
    unsigned char mask_[4] = {};
    std::size_t maskAt_ = 0;       // the payload's offset so far, mod 4
    std::string control_;          // a control frame's payload, unmasked
    bool messageOpen_ = false;     // a data message whose last frame is still to come
    bool messageText_ = false;
    // A UTF-8 sequence under way: continuation bytes still due, and the
    // range the next one must lie in (narrower after E0, ED, F0 and F4).
    int utf8Due_ = 0;
    unsigned char utf8Low_ = 0x80;
    unsigned char utf8High_ = 0xBF;
};

// Frames the server sends: FIN set, unmasked, as a server's must be.
// Opcode 1, the length in 7, 16 or 64 bits as it needs.
std::string TextFrame(std::string_view utf8);
// Opcode 8 with the 2-byte code; with no payload for a code that may not be
// sent (1005 "no code", 1006, 1015, ...), so that 1005 from a Close event
// can be answered as it came.
std::string CloseFrame(std::uint16_t code);
// Opcode 10; a control frame carries at most 125 bytes, so a longer payload is cut there.
std::string PongFrame(std::string_view payload);

} // namespace kx
