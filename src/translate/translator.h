#pragma once
// What the capture pipeline needs of a translation engine: one text in, what
// the log view shows of it and any line about it out, on the engine thread.
#include <string>
#include <string_view>

namespace kx {

struct Translation {
    std::u16string shown;   // what the log view shows of the answer (empty while the text is held)
    std::u16string notice;  // a line for the log after it (a failure), or empty

    bool operator==(const Translation&) const = default;
};

class Translator {
public:
    virtual ~Translator() = default;
    // The engine thread: translates one text.
    virtual Translation Translate(std::u16string_view text) = 0;
    // Any thread: the call in progress and every later one end at once. For
    // closing the program.
    virtual void Abort() {}
};

} // namespace kx
