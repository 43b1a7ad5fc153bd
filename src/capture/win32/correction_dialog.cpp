#include "capture/win32/correction_dialog.h"

#include "capture/win32/capture_resource_ids.h"
#include "common/windows_wide.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"
#include "translate/server_settings_rules.h"

namespace kx::win32 {

CorrectionDialog::CorrectionDialog(HINSTANCE instance) : ModalDialog(instance, IDD_CORRECTION) {}

std::optional<std::u16string> CorrectionDialog::Ask(const std::u16string& source, const std::u16string& translation)
{
    if (IsOpen())
        return std::nullopt;
    accepted_.reset();
    ::SetDlgItemTextW(Handle(), IDC_CORRECTION_SOURCE, Wide(source).c_str());
    ::SetDlgItemTextW(Handle(), IDC_CORRECTION_TRANSLATION, Wide(translation).c_str());
    if (ShowModal() != IDOK)
        return std::nullopt;
    return accepted_;
}

void CorrectionDialog::OnInit()
{
    for (int id : {IDC_CORRECTION_SOURCE, IDC_CORRECTION_TRANSLATION})
        ::SendDlgItemMessageW(Handle(), id, EM_SETLIMITTEXT, 0, 0);
}

void CorrectionDialog::OnShow()
{
    CentreOverOwner(Handle());
    FocusControl(Handle(), IDC_CORRECTION_TRANSLATION);
}

bool CorrectionDialog::OnCommand(int id, int notification)
{
    if (id != IDOK)
        return ModalDialog::OnCommand(id, notification);
    if (notification != BN_CLICKED)
        return true;
    // One line of the log: line breaks typed into the box become spaces.
    std::u16string translation = Utf16(ControlText(::GetDlgItem(Handle(), IDC_CORRECTION_TRANSLATION)));
    for (char16_t& c : translation)
        if (c == u'\r' || c == u'\n')
            c = u' ';
    if (TrimBlanks(translation).empty()) {
        ::MessageBoxW(Handle(), Wide(kEmptyCorrectionMessage).c_str(), L"Error", MB_OK | MB_ICONERROR);
        FocusControl(Handle(), IDC_CORRECTION_TRANSLATION);
        return true;
    }
    accepted_ = std::u16string(TrimBlanks(translation));
    Close(IDOK);
    return true;
}

} // namespace kx::win32
