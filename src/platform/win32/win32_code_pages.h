#pragma once
#include "platform/code_page_port.h"

namespace kx::win32 {

// MultiByteToWideChar / WideCharToMultiByte with flags 0.
class Win32CodePages : public CodePagePort {
public:
    std::u16string ToWide(std::string_view bytes, int codePage) override;
    std::string FromWide(std::u16string_view text, int codePage) override;
};

// 8-bit text in the system's ANSI code page to UTF-16.
std::u16string AnsiToU16(const std::string& ansi);

// The lead bytes of the system's ANSI code page (IsDBCSLeadByte), for the
// decoders' line-break search.
AnsiLeadBytes SystemAnsiLeadBytes();

} // namespace kx::win32
