#include "translate/win32/service_settings_dialog.h"

#include "common/text.h"
#include "common/utf.h"
#include "common/windows_wide.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"
#include "platform/win32/win32_prompts.h"
#include "translate/server_settings_rules.h"
#include "translate/win32/translate_resource_ids.h"

#include <utility>
#include <variant>

namespace kx::win32 {

ServiceSettingsDialog::ServiceSettingsDialog(HINSTANCE instance, int templateId, UiThreadPort& ui)
    : KeyedSettingsDialog(instance, templateId, ui,
                          {IDC_SERVICE_ALLGAMES, IDC_SERVICE_THISGAME, IDC_SERVICE_TEST, IDC_SERVICE_TESTRESULT,
                           IDC_SERVICE_URL})
{
}

void ServiceSettingsDialog::WriteBoxes(const ServiceDialogValues& values)
{
    ::SetDlgItemTextW(Handle(), IDC_SERVICE_URL, Wide(Utf16FromUtf8(values.url)).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SERVICE_KEY, Wide(Utf16FromUtf8(values.apiKey)).c_str());
    // Only Papago's template has these; SetDlgItemText and GetDlgItem find nothing in DeepL's.
    ::SetDlgItemTextW(Handle(), IDC_SERVICE_KEYID, Wide(Utf16FromUtf8(values.keyId)).c_str());
    if (HWND honorific = ::GetDlgItem(Handle(), IDC_SERVICE_HONORIFIC))
        SetChecked(honorific, values.honorific);
}

void ServiceSettingsDialog::OnInit()
{
    for (int id : {IDC_SERVICE_URL, IDC_SERVICE_KEYID, IDC_SERVICE_KEY})
        ::SendDlgItemMessageW(Handle(), id, EM_SETLIMITTEXT, 0, 0);
}

std::optional<ServiceDialogValues> ServiceSettingsDialog::ReadBoxes()
{
    const auto text = [this](int id) {
        HWND control = ::GetDlgItem(Handle(), id);
        return control ? Utf16(ControlText(control)) : std::u16string();
    };
    auto read = ReadServiceForm({text(IDC_SERVICE_URL), text(IDC_SERVICE_KEYID), text(IDC_SERVICE_KEY)});
    if (const auto* problem = std::get_if<ServiceFormProblem>(&read)) {
        Win32Prompts(Handle()).ShowAppError(Widen(problem->message));
        FocusControl(Handle(), problem->field == ServiceFormField::Url ? IDC_SERVICE_URL : IDC_SERVICE_KEYID);
        return std::nullopt;
    }
    ServiceFormValues& values = std::get<ServiceFormValues>(read);
    HWND honorific = ::GetDlgItem(Handle(), IDC_SERVICE_HONORIFIC);
    return ServiceDialogValues{std::move(values.url), std::move(values.keyId),
                               honorific ? IsChecked(honorific) : Shown().honorific, std::move(values.apiKey)};
}

} // namespace kx::win32
