#include "capture/append_log.h"

namespace kx {
namespace {
const std::u16string kLineBreak = u"\r\n";
}

void AppendLineToView(LogViewPort& view, const std::u16string& line)
{
    const std::size_t length = view.TextLength();
    if (length == 0)
        view.InsertAt(0, line + kLineBreak);
    else if (view.EndsWithLineBreak())
        view.InsertAt(length, line + kLineBreak);
    else
        view.InsertAt(length, kLineBreak + line);
}

void AppendLog(LogViewPort& view, const AppSettings& settings, const std::u16string& text)
{
    if (text.empty())
        return;
    if (settings.ReplaceMode()) {
        view.SetText(text);
        return;
    }
    if (view.VisualLineCount() <= 1) {
        AppendLineToView(view, text);
        return;
    }
    // Insert behind the last character of the last line; a closing line break
    // stays at the very end.
    const std::u16string separator = settings.EmptyLineBetweenTexts() ? u"\r\n\r\n" : u"\r\n";
    const std::size_t length = view.TextLength();
    const std::size_t position = view.EndsWithLineBreak() ? length - kLineBreak.size() : length;
    view.InsertAt(position, separator + text);
}

} // namespace kx
