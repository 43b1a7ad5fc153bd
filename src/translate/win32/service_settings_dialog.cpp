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
namespace {

constexpr wchar_t kTesting[] = L"Testing...";
constexpr wchar_t kNoTest[] = L"No test is possible here.";

} // namespace

ServiceSettingsDialog::ServiceSettingsDialog(HINSTANCE instance, int templateId, UiThreadPort& ui)
    : ModalDialog(instance, templateId), test_(*this, ui, IDC_SERVICE_TEST, IDC_SERVICE_TESTRESULT)
{
}

std::optional<ScopedValues<ServiceDialogValues>> ServiceSettingsDialog::Edit(
    const ScopedValues<ServiceDialogValues>& current, const ProfileScope& scope)
{
    if (IsOpen())
        return std::nullopt;
    values_ = current;
    scope_ = scope;
    showingGame_ = scope.forGame && !scope.game.empty();
    accepted_ = false;
    test_.Reset();
    ShowProfileScope(Handle(), IDC_SERVICE_ALLGAMES, IDC_SERVICE_THISGAME, {scope_.game, showingGame_});
    WriteBoxes(Shown());
    if (ShowModal() != IDOK || !accepted_)
        return std::nullopt;
    return values_;
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

bool ServiceSettingsDialog::KeepBoxes()
{
    std::optional<ServiceDialogValues> read = ReadBoxes();
    if (!read)
        return false;
    Shown() = std::move(*read);
    values_.allGames.apiKey = values_.thisGame.apiKey = Shown().apiKey;
    return true;
}

// What was edited in one set is kept while the other is shown; boxes that
// are wrong keep the set they belong to on the screen.
void ServiceSettingsDialog::ScopeClick(bool forGame)
{
    if (forGame == showingGame_)
        return;
    if (KeepBoxes()) {
        showingGame_ = forGame;
        WriteBoxes(Shown());
    }
    SetChecked(::GetDlgItem(Handle(), IDC_SERVICE_ALLGAMES), !showingGame_);
    SetChecked(::GetDlgItem(Handle(), IDC_SERVICE_THISGAME), showingGame_);
}

void ServiceSettingsDialog::OnInit()
{
    for (int id : {IDC_SERVICE_URL, IDC_SERVICE_KEYID, IDC_SERVICE_KEY})
        ::SendDlgItemMessageW(Handle(), id, EM_SETLIMITTEXT, 0, 0);
}

void ServiceSettingsDialog::OnShow()
{
    CentreOverOwner(Handle());
    FocusControl(Handle(), IDC_SERVICE_URL);
}

bool ServiceSettingsDialog::OnCommand(int id, int notification)
{
    if (id == IDC_SERVICE_ALLGAMES || id == IDC_SERVICE_THISGAME) {
        if (notification == BN_CLICKED)
            ScopeClick(id == IDC_SERVICE_THISGAME);
        return true;
    }
    if (id == IDOK || id == IDC_SERVICE_TEST) {
        if (notification == BN_CLICKED)
            id == IDOK ? OkClick() : TestClick();
        return true;
    }
    return ModalDialog::OnCommand(id, notification);
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

void ServiceSettingsDialog::OkClick()
{
    accepted_ = KeepBoxes();
    if (accepted_)
        Close(IDOK);
}

void ServiceSettingsDialog::TestClick()
{
    const std::optional<ServiceDialogValues> values = ReadBoxes();
    if (!values)
        return;
    if (!testRunner_) {
        test_.Say(kNoTest);
        return;
    }
    testRunner_(*values, [show = test_.Begin(kTesting)](std::u16string shown) { show(Wide(shown)); });
}

} // namespace kx::win32
