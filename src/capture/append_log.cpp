#include "capture/append_log.h"

#include "common/text.h"

#include <algorithm>

namespace kx {
namespace {
const std::u16string kLineBreak = u"\r\n";

std::u16string Separator(const SinkOptions& options)
{
    return options.EmptyLineBetweenTexts() ? u"\r\n\r\n" : kLineBreak;
}

// Inserts behind the last character of the last line; a closing line break
// stays at the very end.
void InsertBehindLastLine(LogViewPort& view, const std::u16string& text)
{
    const std::size_t length = view.TextLength();
    if (!view.EndsWithLineBreak()) {
        view.InsertAt(length, text);
    } else if (text.starts_with(kLineBreak)) {
        // A line break and R in front of the closing break is R and a break
        // behind it: the same text, and a selection that ends with the log
        // keeps to what it held instead of taking the new line in.
        view.InsertAt(length, text.substr(kLineBreak.size()) + kLineBreak);
    } else {
        view.InsertAt(length - kLineBreak.size(), text);
    }
}

} // namespace

void ContinueLastLine(LogViewPort& view, const std::u16string& text)
{
    if (!text.empty())
        InsertBehindLastLine(view, text);
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

void AppendLog(LogViewPort& view, const SinkOptions& settings, const std::u16string& text)
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
    InsertBehindLastLine(view, Separator(settings) + text);
}

RewritableLine AppendRewritableLine(LogViewPort& view, const SinkOptions& options, const std::u16string& text)
{
    // The text goes in behind a separator; a closing line break the view had
    // (or gets, when it was empty) stays behind it.
    if (text.empty())
        return {view.TextLength(), {}, view.TextLength()};
    const bool closingBreak = view.TextLength() == 0 || view.EndsWithLineBreak();
    AppendLog(view, options, text);
    const std::size_t length = view.TextLength();
    if (options.ReplaceMode())
        return {0, text, length};
    const std::size_t end = length - (closingBreak ? kLineBreak.size() : 0);
    return {end - text.size(), text, length};
}

bool RewriteLine(LogViewPort& view, RewritableLine& line, const std::u16string& text)
{
    const std::u16string& before = line.text;
    if (view.TextLength() != line.viewLength) {
        // Something else changed the view: the line counts as where it was
        // only while it still stands there as written.
        const std::u16string all = view.Text();
        if (line.start + before.size() > all.size() || all.compare(line.start, before.size(), before) != 0)
            return false;
        line.viewLength = all.size();
    }
    // A growing answer mostly adds at its end: the units both share at the
    // front and at the back stay as they are.
    const std::size_t shortest = std::min(before.size(), text.size());
    std::size_t front = 0;
    while (front < shortest && before[front] == text[front])
        ++front;
    std::size_t back = 0;
    while (back < shortest - front && before[before.size() - 1 - back] == text[text.size() - 1 - back])
        ++back;
    if (front == before.size() && front == text.size())
        return true;
    // Whole letters only: a surrogate pair is kept or replaced together.
    if (front > 0 && IsHighSurrogate(before[front - 1]))
        --front;
    if (back > 0 && IsLowSurrogate(before[before.size() - back]))
        --back;
    view.Replace(line.start + front, before.size() - front - back, text.substr(front, text.size() - front - back));
    line.viewLength = line.viewLength - before.size() + text.size();
    line.text = text;
    return true;
}

void AppendLogBatch(LogViewPort& view, const SinkOptions& options, const std::vector<std::u16string>& texts)
{
    std::size_t next = 0;
    if (options.ReplaceMode()) {
        for (std::size_t i = texts.size(); i-- > 0;)
            if (!texts[i].empty()) {
                view.SetText(texts[i]);
                break;
            }
        return;
    }
    // The first texts may go through the one- and no-line rules.
    while (next < texts.size() && view.VisualLineCount() <= 1)
        AppendLog(view, options, texts[next++]);
    if (next == texts.size())
        return;
    // From two lines on, each text is inserted right behind the one before.
    const std::u16string separator = Separator(options);
    std::size_t length = 0;
    for (std::size_t i = next; i < texts.size(); ++i)
        length += texts[i].empty() ? 0 : separator.size() + texts[i].size();
    std::u16string joined;
    joined.reserve(length);
    for (; next < texts.size(); ++next)
        if (!texts[next].empty()) {
            joined += separator;
            joined += texts[next];
        }
    if (!joined.empty())
        InsertBehindLastLine(view, joined);
}

} // namespace kx
