#pragma once
#include "platform/code_page_port.h"
#include "platform/log_view_port.h"
#include "settings/app_settings.h"

#include <functional>
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
};

// The stage between decoding and display: converts the decoded bytes with the
// Character Set code page and appends them, translated when translation is on.
class CaptureSink {
public:
    CaptureSink(const AppSettings& settings, CodePagePort& codePages, LogViewPort& view, Translator& translator,
                std::function<bool()> translationActive);

    void TextSink(std::string bytes);

private:
    void TranslatedPath(std::string bytes);

    const AppSettings& settings_;
    CodePagePort& codePages_;
    LogViewPort& view_;
    Translator& translator_;
    std::function<bool()> translationActive_;
};

} // namespace kx
