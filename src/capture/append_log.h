#pragma once
#include "platform/log_view_port.h"
#include "settings/app_settings.h"

#include <string>

namespace kx {

// The one way captured text enters the log view: replaces the whole log in
// replace mode, otherwise adds the text as a new line (after an empty line
// when the settings ask for one), editing only the end of the view.
void AppendLog(LogViewPort& view, const AppSettings& settings, const std::u16string& text);

// Adds `line` as a new last line, keeping a closing line break where there is
// one; used for the program's own messages (engine failures, start-up).
void AppendLineToView(LogViewPort& view, const std::u16string& line);

} // namespace kx
