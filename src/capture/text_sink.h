#pragma once
// The stage between decoding and display: turns decoded bytes into what the
// log view shows at once and what goes to the translation engine.
#include "platform/code_page_port.h"
#include "settings/app_settings.h"

#include <optional>
#include <string>

namespace kx {

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

} // namespace kx
