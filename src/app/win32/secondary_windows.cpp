#include "app/win32/secondary_windows.h"

#include "app/win32/resource_ids.h"

namespace kx::win32 {

SettingForm::SettingForm(HINSTANCE instance, AppSettings& settings)
    : ModalDialog(instance, IDD_SETTINGS), settings_(settings)
{
}

AboutForm::AboutForm(HINSTANCE instance) : ModalDialog(instance, IDD_ABOUT) {}

void AboutForm::SetTitle(const std::string& programTitle)
{
    ::SetDlgItemTextA(Handle(), IDC_ABOUT_TITLE, programTitle.c_str());
}

AgthHelpForm::AgthHelpForm(HINSTANCE instance, AppSettings& settings)
    : ModalDialog(instance, IDD_AGTHHELPER), settings_(settings)
{
}

} // namespace kx::win32
