#include "platform/win32/win32_prompts.h"

#include "common/app_error.h"
#include "platform/win32/win32_code_pages.h"

namespace kx::win32 {

void Win32Prompts::ShowError(const std::u16string& text)
{
    const std::wstring wide = ToWindowsWide(text);
    ::MessageBoxW(owner_, wide.c_str(), L"Error", MB_OK | MB_ICONERROR);
}

void Win32Prompts::ShowAppError(const std::u16string& text)
{
    const std::wstring wide = ToWindowsWide(text);
    ::MessageBoxW(owner_, wide.c_str(), L"KestruneEX!", MB_OK | MB_ICONSTOP);
}

void ShowApplicationError(HWND owner, const std::string& ansiMessage)
{
    Win32Prompts(owner).ShowAppError(AnsiToU16(WithClosingFullStop(ansiMessage)));
}

} // namespace kx::win32
