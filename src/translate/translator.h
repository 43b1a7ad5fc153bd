#pragma once
// What the capture pipeline needs of a translation engine: one text in, what
// the log view shows of it and any line about it out, on the engine thread.
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kx {

struct Translation {
    std::u16string shown;   // what the log view shows of the answer (empty while the text is held)
    std::u16string notice;  // a line for the log after it (a failure), or empty
    // No whole answer of the engine's own (an error, a time-out, an HTTP
    // status of 400 or more, an empty answer, one cut off): `shown` is the
    // text untranslated or as far as the answer came, and another engine
    // may answer in its place.
    bool failed = false;

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

// What the log view may show of an answer while it is still being written.
using PartialAnswer = std::function<void(const std::u16string& shownSoFar)>;

class Translator {
public:
    virtual ~Translator() = default;
    // The engine thread: translates one text.
    virtual Translation Translate(std::u16string_view text) = 0;
    // The same, telling `partial` (on the engine thread) what there is of
    // the answer while it is written, for an engine that writes it in pieces.
    virtual Translation Translate(std::u16string_view text, const PartialAnswer& partial)
    {
        static_cast<void>(partial);
        return Translate(text);
    }
    // The engine thread: the next text is asked anew, past any answer kept
    // for it ("Translate again").
    virtual void SkipCacheOnce() {}
    // Any thread: the earlier lines are no context for the next ones any more
    // (the log was cleared).
    virtual void ForgetContext() {}
    // Any thread: the call in progress and every later one end at once. For
    // closing the program.
    virtual void Abort() {}
    // True when the engine reads a text as a sentence only with a full stop
    // at its end (ezTrans): the pipeline adds one before it hands the text over.
    virtual bool WantsFullStop() const { return false; }
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
