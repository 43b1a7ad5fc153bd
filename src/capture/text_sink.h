#pragma once
// The stage between decoding and display: turns decoded bytes into what the
// log view shows at once and what goes to the translation engine.
#include "platform/code_page_port.h"
#include "settings/app_settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace kx {

// What the text sink needs of the translation engine adapter.
class Translator {
public:
    virtual ~Translator() = default;
    // Translates `length` UTF-16 units; the answer is then in Result().
    virtual void TranslateWide(const char16_t* text, int length) = 0;
    // The latest answer: exactly its units (ending in "\r\n" when not empty).
    virtual std::u16string_view Result() const = 0;
    virtual void StopTransEngine() = 0;
    // What the log view shows of the latest answer.
    virtual std::u16string Shown() const;
    // A line for the log about the latest call (a failure), or nothing.
    virtual std::u16string TakeNotice() { return {}; }
    // Any thread: the call in progress and every later one end at once. For
    // closing the program.
    virtual void Abort() {}
};

// What becomes of one decoded text.
struct SinkPlan {
    std::u16string shownNow;                  // appended at once: the text itself, or a flood head
    std::optional<std::u16string> forEngine;  // translated, then shown (translation path only)
};

// Converts decoded bytes with the Character Set code page. NUL characters
// are dropped: the log view and the engine would both stop reading at the
// first one.
std::u16string ConvertDecoded(CodePagePort& codePages, const std::string& bytes, int codePage);

// Untranslated, the text is shown as it is; translated, it gets a full stop
// as sentence end (when `addFullStop`: ezTrans needs it) and a flood is
// trimmed to the letter limit, its head shown untranslated.
SinkPlan PlanTextSink(std::u16string text, const SinkOptions& options, bool translate, bool addFullStop = true);

// The part of the adapter's answer that is shown: without its closing
// "\r\n" and the letter before it (the translated full stop).
std::u16string ShownTranslation(std::u16string_view result);

} // namespace kx
