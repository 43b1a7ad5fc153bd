#pragma once
// What the capture pipeline needs of a translation engine: one text in, what
// the log view shows of it and any line about it out, on the engine thread.
#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kx {

struct Translation {
    std::u16string shown;   // what the log view shows of the answer (empty while the text is held)
    std::u16string notice;  // a line for the log after it (a failure), or empty

    bool operator==(const Translation&) const = default;
};

// A translation that failed once its text was joined with the pieces held
// before it: what to show instead, the held pieces included.
struct TranslationFailure : std::runtime_error {
    TranslationFailure(const std::string& reason, std::u16string untranslated)
        : std::runtime_error(reason), untranslated(std::move(untranslated))
    {
    }
    std::u16string untranslated;
};

inline constexpr std::chrono::milliseconds kEngineWaitLimit{15000};

class Translator {
public:
    virtual ~Translator() = default;
    // The engine thread: translates one text.
    virtual Translation Translate(std::u16string_view text) = 0;
    // Any thread: the call in progress and every later one end at once. For
    // closing the program.
    virtual void Abort() {}
    // A text that cannot be translated, as the log view shows it instead.
    virtual std::u16string Untranslated(std::u16string_view text) const { return std::u16string(text); }
    // How long a text may wait for this engine before it is shown
    // untranslated.
    virtual std::chrono::milliseconds WaitLimit() const { return kEngineWaitLimit; }
    // True when a call may never return (a library that hangs): a call that
    // takes longer than WaitLimit stops this engine for the run. False when
    // the engine bounds its own calls (a server request's time-out).
    virtual bool MayHang() const { return false; }
};

} // namespace kx
