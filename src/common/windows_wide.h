#pragma once
// Windows' wide text and the core's UTF-16 text are the same code units; these
// copy one into the other. For the Win32 layer only: elsewhere wchar_t is no
// UTF-16 unit, and the core never uses std::wstring.
#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "windows_wide.h is for Windows, where wchar_t is a UTF-16 unit");

namespace kx {

inline std::wstring Wide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

inline std::u16string Utf16(std::wstring_view text)
{
    return std::u16string(text.begin(), text.end());
}

} // namespace kx
