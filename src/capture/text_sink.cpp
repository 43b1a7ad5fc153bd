#include "capture/text_sink.h"

#include "capture/append_log.h"

#include <utility>

namespace kx {

CaptureSink::CaptureSink(const AppSettings& settings, CodePagePort& codePages, LogViewPort& view,
                         Translator& translator, std::function<bool()> translationActive)
    : settings_(settings), codePages_(codePages), view_(view), translator_(translator),
      translationActive_(std::move(translationActive))
{
}

void CaptureSink::TextSink(std::string bytes)
{
    if (translationActive_ && translationActive_()) {
        TranslatedPath(std::move(bytes));
        return;
    }
    AppendLog(view_, settings_, CodePageToWide(codePages_, bytes, settings_.Codepage));
}

void CaptureSink::TranslatedPath(std::string bytes)
{
    // The full stop gives the engine a sentence end; its translation (the
    // last letter before the adapter's "\r\n") is dropped again below.
    bytes.push_back('.');
    std::u16string text = CodePageToWide(codePages_, bytes, settings_.Codepage);

    // A negative limit keeps nothing for the engine, like a limit of 0.
    const std::size_t limit = settings_.Flood > 0 ? static_cast<std::size_t>(settings_.Flood) : 0;
    if (settings_.FloodTrimmingOn() && text.size() > limit) {
        const std::size_t headLength = text.size() - limit;
        AppendLog(view_, settings_, text.substr(0, headLength));
        text.erase(0, headLength);
    }

    translator_.TranslateWide(text.data(), static_cast<int>(text.size()));
    const std::u16string_view result = translator_.Result();
    if (result.size() > 3)
        AppendLog(view_, settings_, std::u16string(result.substr(0, result.size() - 3)));
    translator_.StopTransEngine();
}

} // namespace kx
