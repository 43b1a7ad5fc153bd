#pragma once
// Helpers for dialogs whose layout is kept in pixels, and for moving text
// between controls and the core's UTF-16 strings.
#include <windows.h>

#include <span>
#include <string>
#include <string_view>

namespace kx::win32 {

struct ControlPlace {
    int id, left, top, width, height;
};

// Gives the dialog the client size and moves its controls to their places.
inline void LayOutDialog(HWND dialog, int clientWidth, int clientHeight, std::span<const ControlPlace> places)
{
    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(dialog, GWL_EXSTYLE)));
    ::SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlPlace& p : places)
        ::MoveWindow(::GetDlgItem(dialog, p.id), p.left, p.top, p.width, p.height, FALSE);
}

inline std::wstring Wide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

inline std::u16string Utf16(const std::wstring& text)
{
    return std::u16string(text.begin(), text.end());
}

inline std::wstring ControlText(HWND control)
{
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace kx::win32
