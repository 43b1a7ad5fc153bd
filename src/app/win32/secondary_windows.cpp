#include "app/win32/secondary_windows.h"

#include "app/win32/resource_ids.h"

namespace kx::win32 {

AboutForm::AboutForm(HINSTANCE instance) : ModalDialog(instance, IDD_ABOUT) {}

void AboutForm::SetTitle(const std::string& programTitle)
{
    ::SetDlgItemTextA(Handle(), IDC_ABOUT_TITLE, programTitle.c_str());
}

void AboutForm::OnInit()
{
    // The layout is kept in pixels: a client area of 416 x 192.
    HWND box = Handle();
    RECT frame{0, 0, 416, 192};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(box, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(box, GWL_EXSTYLE)));
    ::SetWindowPos(box, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    struct Place {
        int id, left, top, width, height;
    };
    static constexpr Place kPlaces[] = {
        {IDC_ABOUT_ICON, 8, 8, 33, 33},        {IDC_ABOUT_TITLE, 56, 8, 350, 16},
        {IDC_ABOUT_AUTHOR, 56, 27, 350, 16},   {IDC_ABOUT_SITE, 56, 46, 350, 16},
        {IDC_ABOUT_THANKS, 56, 65, 350, 16},   {IDC_ABOUT_CREDITS, 56, 84, 353, 69},
        {IDCANCEL, 315, 163, 97, 25},
    };
    for (const Place& p : kPlaces)
        ::MoveWindow(::GetDlgItem(box, p.id), p.left, p.top, p.width, p.height, FALSE);
    ::SetDlgItemTextW(box, IDC_ABOUT_CREDITS,
                      L"Windows common controls: every Unicode text of this program\r\n"
                      L"https://learn.microsoft.com/windows/win32/controls");
    ::SetFocus(::GetDlgItem(box, IDCANCEL));
}

} // namespace kx::win32
