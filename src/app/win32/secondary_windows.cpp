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
    HWND box = Handle();
    ::SetDlgItemTextW(box, IDC_ABOUT_CREDITS,
                      L"Windows common controls: every Unicode text of this program\r\n"
                      L"https://learn.microsoft.com/windows/win32/controls");
    ::SetFocus(::GetDlgItem(box, IDCANCEL));
}

} // namespace kx::win32
