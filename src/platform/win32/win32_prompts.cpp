#include "platform/win32/win32_prompts.h"

#include "common/app_error.h"
#include "common/windows_wide.h"
#include "platform/win32/win32_code_pages.h"

#include <optional>
#include <utility>

namespace kx::win32 {

void Win32Prompts::ShowError(const std::u16string& text)
{
    const std::wstring wide = Wide(text);
    ::MessageBoxW(owner_, wide.c_str(), L"Error", MB_OK | MB_ICONERROR);
}

void Win32Prompts::ShowAppError(const std::u16string& text)
{
    const std::wstring wide = Wide(text);
    ::MessageBoxW(owner_, wide.c_str(), L"KestruneEX!", MB_OK | MB_ICONSTOP);
}

void Win32Prompts::ShowWarning(const std::u16string& text)
{
    const std::wstring wide = Wide(text);
    ::MessageBoxW(owner_, wide.c_str(), L"KestruneEX!", MB_OK | MB_ICONEXCLAMATION);
}

bool Win32Prompts::Confirm(const std::u16string& question)
{
    const std::wstring wide = Wide(question);
    return ::MessageBoxW(owner_, wide.c_str(), L"Confirm", MB_YESNOCANCEL | MB_ICONQUESTION) == IDYES;
}

void ShowApplicationError(HWND owner, const std::string& ansiMessage)
{
    // The box runs a message loop, where more errors can come up (a burst of
    // bad clipboard texts): one box at a time, and the latest of those that
    // came meanwhile once after it.
    thread_local bool boxOpen = false;
    thread_local std::optional<std::string> cameMeanwhile;
    if (boxOpen) {
        cameMeanwhile = ansiMessage;
        return;
    }
    boxOpen = true;
    std::string message = ansiMessage;
    for (;;) {
        Win32Prompts(owner).ShowAppError(AnsiToU16(WithClosingFullStop(message)));
        if (!cameMeanwhile)
            break;
        message = *std::exchange(cameMeanwhile, std::nullopt);
    }
    boxOpen = false;
}

} // namespace kx::win32
