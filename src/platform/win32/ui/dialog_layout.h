#pragma once
// Helpers for dialogs whose layout is kept in pixels, and for moving text
// between controls and the core's UTF-16 strings.
#include "common/windows_wide.h"

#include <windows.h>
#include <commctrl.h>

#include <span>
#include <string>
#include <string_view>

namespace kx::win32 {

struct ControlPlace {
    int id, left, top, width, height;
};

// The dots per inch of the monitor a window is on (GetDpiForWindow, Windows 10
// and Wine); the screen's where that is missing.
inline int WindowDpi(HWND window)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow)
        if (const UINT dpi = getDpiForWindow(window))
            return static_cast<int>(dpi);
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// A length laid out for 96 dpi at `dpi`.
inline int Scaled(int pixelsAt96, int dpi)
{
    return ::MulDiv(pixelsAt96, dpi, 96);
}

// Gives the dialog the client size and moves its controls to their places,
// both given for 96 dpi and scaled to the dpi of the dialog's monitor.
inline void LayOutDialog(HWND dialog, int clientWidth, int clientHeight, std::span<const ControlPlace> places)
{
    const int dpi = WindowDpi(dialog);
    RECT frame{0, 0, Scaled(clientWidth, dpi), Scaled(clientHeight, dpi)};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(dialog, GWL_EXSTYLE)));
    ::SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlPlace& p : places)
        ::MoveWindow(::GetDlgItem(dialog, p.id), Scaled(p.left, dpi), Scaled(p.top, dpi), Scaled(p.width, dpi),
                     Scaled(p.height, dpi), FALSE);
}

// Adds a report-view column whose width is given for 96 dpi.
inline void AddListColumn(HWND list, int index, const wchar_t* caption, int widthAt96)
{
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(caption);
    column.cx = Scaled(widthAt96, WindowDpi(list));
    column.iSubItem = index;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

inline std::wstring ControlText(HWND control)
{
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace kx::win32
