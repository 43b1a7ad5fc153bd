#pragma once
// Reads a streamed chat-completions answer: server-sent events, each
// `data: {…}` line a piece of the answer (choices[0].delta.content), up to
// `data: [DONE]`, which ends it as soon as its line has ended. The bytes come in pieces cut anywhere, a line or a UTF-8
// character across two of them; a server may even cut a letter between two
// events (its bytes, or the two halves of a surrogate pair written as
// \uXXXX escapes), and such a letter arrives whole. A server that answers a
// streaming request with one JSON body is read too, when the body has ended.
#include "common/utf.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kx {

class ChatStreamReader {
public:
    // The next bytes of the body. True when the answer's text grew. Once
    // the answer has ended (Ended), the rest of the body is not read.
    bool Feed(std::string_view bytes);
    // The body has ended: a last line without its line break counts, and a
    // body that held no events is read as one JSON answer.
    void Finish();

    // The text so far. Bytes that are no UTF-8 stand as U+FFFD; a letter
    // whose end has not come yet is not in it.
    const std::u16string& Text() const { return text_; }
    // `data: [DONE]` came, or the one JSON answer was read.
    bool Complete() const { return complete_; }
    // Why there is no answer (an error event, a body that is neither), or
    // empty.
    const std::string& Failure() const { return failure_; }
    // Complete, or failed: nothing more of the body is wanted.
    bool Ended() const { return complete_ || !failure_.empty(); }
    // Events that were not JSON at all: what they held is missing from Text.
    std::size_t UnreadableEvents() const { return unreadable_; }

private:
    bool Consume(std::string_view bytes);
    void Line(std::string_view line);
    void Dispatch();
    // False when `data` is no JSON (counted as unreadable when asked to).
    bool Event(std::string_view data, bool countUnreadable = true);

    std::string start_;      // the body's first bytes while they may be a byte-order mark
    bool started_ = false;   // past the place of a byte-order mark
    std::string line_;       // the line being read
    bool afterCr_ = false;   // a CR ended the last line: an LF right after it ends nothing
    std::string data_;       // the data lines of the event being read
    bool hasData_ = false;
    bool sawEvent_ = false;  // a data line came: this is a stream
    std::string whole_;      // the body kept while it may be one JSON answer
    bool mayBeWhole_ = true;
    Utf8Decoder decoder_;    // the contents joined, across events
    std::u16string text_;
    bool complete_ = false;
    std::string failure_;
    std::size_t unreadable_ = 0;
};

} // namespace kx
