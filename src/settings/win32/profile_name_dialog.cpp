#include "settings/win32/profile_name_dialog.h"

#include "common/windows_wide.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"
#include "settings/game_profiles.h"
#include "settings/win32/profile_resource_ids.h"

namespace kx::win32 {

ProfileNameDialog::ProfileNameDialog(HINSTANCE instance) : ModalDialog(instance, IDD_PROFILENAME) {}

std::optional<std::u16string> ProfileNameDialog::Ask()
{
    if (IsOpen())
        return std::nullopt;
    accepted_.reset();
    ::SetDlgItemTextW(Handle(), IDC_PROFILENAME_EDIT, L"");
    if (ShowModal() != IDOK)
        return std::nullopt;
    return accepted_;
}

void ProfileNameDialog::OnShow()
{
    CentreOverOwner(Handle());
    FocusControl(Handle(), IDC_PROFILENAME_EDIT);
}

bool ProfileNameDialog::OnCommand(int id, int notification)
{
    if (id != IDOK)
        return ModalDialog::OnCommand(id, notification);
    if (notification != BN_CLICKED)
        return true;
    const std::u16string name = Utf16(ControlText(::GetDlgItem(Handle(), IDC_PROFILENAME_EDIT)));
    if (const std::optional<std::u16string> problem = ProfileNameProblem(name)) {
        ::MessageBoxW(Handle(), Wide(*problem).c_str(), L"Error", MB_OK | MB_ICONERROR);
        FocusControl(Handle(), IDC_PROFILENAME_EDIT);
        return true;
    }
    accepted_ = name;
    Close(IDOK);
    return true;
}

} // namespace kx::win32
