#pragma once
// Code pages through iconv, for the native build's tests of the portable core.
// Invalid bytes become U+FFFD and unmappable characters '?': close to, but
// not exactly, the Windows replacement rules (those are tested under Wine).
#include "platform/code_page_port.h"

namespace kx {

class IconvCodePages : public CodePagePort {
public:
    // `ansiCodePage` stands in for code page 0.
    explicit IconvCodePages(int ansiCodePage = 1252) : ansiCodePage_(ansiCodePage) {}
    std::u16string ToWide(std::string_view bytes, int codePage) override;
    std::string FromWide(std::u16string_view text, int codePage) override;

private:
    int ansiCodePage_;
};

} // namespace kx
