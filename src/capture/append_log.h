#pragma once
#include "platform/log_view_port.h"
#include "settings/app_settings.h"

#include <string>
#include <vector>

namespace kx {

// The one way captured text enters the log view: replaces the whole log in
// replace mode, otherwise adds the text as a new line (after an empty line
// when the settings ask for one), editing only the end of the view.
void AppendLog(LogViewPort& view, const SinkOptions& options, const std::u16string& text);
inline void AppendLog(LogViewPort& view, const AppSettings& settings, const std::u16string& text)
{
    AppendLog(view, settings.Sink(), text);
}

// The same as AppendLog for each text in turn, in as few edits of the view
// as the rules allow: once the view has two lines, a run of texts is one
// insert; in replace mode only the last text counts.
void AppendLogBatch(LogViewPort& view, const SinkOptions& options, const std::vector<std::u16string>& texts);

// A text appended so that it can be written again in place (an answer still
// being written).
struct RewritableLine {
    std::size_t start = 0;       // where the text stands in the view
    std::u16string text;         // what stands there
    std::size_t viewLength = 0;  // the view's length after it was written
};
// Appends a text that is not empty as AppendLog does and says where it stands.
RewritableLine AppendRewritableLine(LogViewPort& view, const SinkOptions& options, const std::u16string& text);
// Writes `text` in the place of the line, changing in the view only the units
// that differ; also when lines were added behind it meanwhile. False (and
// nothing done) when the line is no longer where it was (the log cleared).
bool RewriteLine(LogViewPort& view, RewritableLine& line, const std::u16string& text);

// Adds `text` to the end of the last line (in front of a closing line
// break): the rest of a text too long to show in one turn.
void ContinueLastLine(LogViewPort& view, const std::u16string& text);

// Adds `line` as a new last line, keeping a closing line break where there is
// one; used for the program's own messages (engine failures, start-up).
void AppendLineToView(LogViewPort& view, const std::u16string& line);

} // namespace kx
