#include "app/win32/secondary_windows.h"

#include "app/win32/resource_ids.h"
#include "platform/win32/ui/dialog_layout.h"

namespace kx::win32 {

AboutForm::AboutForm(HINSTANCE instance) : ModalDialog(instance, IDD_ABOUT) {}

void AboutForm::SetTitle(const std::string& programTitle)
{
    ::SetDlgItemTextA(Handle(), IDC_ABOUT_TITLE, programTitle.c_str());
}

void AboutForm::OnInit()
{
    HWND box = Handle();
    // The layout is kept in pixels: a client area of 416 x 192.
    static constexpr ControlPlace kPlaces[] = {
        {IDC_ABOUT_ICON, 8, 8, 33, 33},        {IDC_ABOUT_TITLE, 56, 8, 350, 16},
        {IDC_ABOUT_AUTHOR, 56, 27, 350, 16},   {IDC_ABOUT_SITE, 56, 46, 350, 16},
        {IDC_ABOUT_THANKS, 56, 65, 350, 16},   {IDC_ABOUT_CREDITS, 56, 84, 353, 69},
        {IDCANCEL, 315, 163, 97, 25},
    };
    LayOutDialog(box, 416, 192, kPlaces);
    ::SetDlgItemTextW(box, IDC_ABOUT_CREDITS,
                      L"Windows common controls: every Unicode text of this program\r\n"
                      L"https://learn.microsoft.com/windows/win32/controls");
    ::SetFocus(::GetDlgItem(box, IDCANCEL));
}

} // namespace kx::win32
