#pragma once
// Helpers for what a window's layout keeps in code (the dpi, list columns),
// and for moving text between controls and the core's UTF-16 strings.
// A dialog's controls stand in its resource template, in dialog units.
#include "common/windows_wide.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <string_view>

namespace kx::win32 {

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

// A width in the dialog units of the dialog that holds `control`, in pixels.
inline int DialogUnitsWide(HWND control, int dialogUnits)
{
    RECT r{0, 0, dialogUnits, 0};
    ::MapDialogRect(::GetParent(control), &r);
    return r.right;
}

// Adds a report-view column whose width is given in dialog units: a template
// cannot hold column widths, and so they follow the list's own width.
inline void AddListColumn(HWND list, int index, const wchar_t* caption, int widthInDialogUnits)
{
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(caption);
    column.cx = DialogUnitsWide(list, widthInDialogUnits);
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
