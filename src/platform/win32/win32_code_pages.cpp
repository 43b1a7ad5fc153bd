#include "platform/win32/win32_code_pages.h"

#include <windows.h>

#include <climits>

namespace kx::win32 {

std::u16string Win32CodePages::ToWide(std::string_view bytes, int codePage)
{
    if (bytes.empty() || bytes.size() > INT_MAX)
        return {};
    const int size = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0)
        return {};
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    const int written = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                              reinterpret_cast<wchar_t*>(out.data()), size);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

std::string Win32CodePages::FromWide(std::u16string_view text, int codePage)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    const int written = ::WideCharToMultiByte(codePage, 0, wide, length, out.data(), size, nullptr, nullptr);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

std::u16string AnsiToU16(const std::string& ansi)
{
    return Win32CodePages().ToWide(ansi, CP_ACP);
}

AnsiLeadBytes SystemAnsiLeadBytes()
{
    AnsiLeadBytes lead;
    for (int b = 0; b < 256; ++b)
        lead.isLead[static_cast<std::size_t>(b)] = ::IsDBCSLeadByte(static_cast<BYTE>(b)) != FALSE;
    return lead;
}

} // namespace kx::win32
