#include "translate/win32/server_settings_dialog.h"

#include "translate/server_settings_rules.h"
#include "translate/win32/translate_resource_ids.h"
#include "common/text.h"
#include "common/utf.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"
#include "platform/win32/win32_prompts.h"

#include <string>
#include <utility>
#include <variant>

namespace kx::win32 {
namespace {

int FieldControl(ServerFormField field)
{
    switch (field) {
    case ServerFormField::Url:
        return IDC_SERVER_URL;
    case ServerFormField::Model:
        return IDC_SERVER_MODEL;
    case ServerFormField::Timeout:
        return IDC_SERVER_TIMEOUT;
    case ServerFormField::ContextLines:
        return IDC_SERVER_CONTEXTLINES;
    case ServerFormField::MaxTokens:
        break;
    }
    return IDC_SERVER_MAXTOKENS;
}

} // namespace

ServerSettingsDialog::ServerSettingsDialog(HINSTANCE instance, UiThreadPort& ui)
    : KeyedSettingsDialog(instance, IDD_SERVERSETTINGS, ui,
                          {IDC_SERVER_ALLGAMES, IDC_SERVER_THISGAME, IDC_SERVER_TEST, IDC_SERVER_TESTRESULT,
                           IDC_SERVER_URL})
{
}

void ServerSettingsDialog::WriteBoxes(const ServerDialogValues& values)
{
    ::SetDlgItemTextW(Handle(), IDC_SERVER_URL, Wide(Utf16FromUtf8(values.server.url)).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SERVER_MODEL, Wide(Utf16FromUtf8(values.server.model)).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SERVER_PROMPT, Wide(WithCrLf(values.server.prompt)).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SERVER_KEY, Wide(Utf16FromUtf8(values.apiKey)).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SERVER_TIMEOUT, std::to_wstring(values.server.timeoutSeconds).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SERVER_CONTEXTLINES, std::to_wstring(values.server.contextLines).c_str());
    SetChecked(::GetDlgItem(Handle(), IDC_SERVER_CONTEXTTRANSLATIONS), values.server.ContextTranslationsOn());
    SetChecked(::GetDlgItem(Handle(), IDC_SERVER_STREAM), values.server.StreamOn());
    ::SetDlgItemTextW(Handle(), IDC_SERVER_MAXTOKENS, std::to_wstring(values.server.maxTokens).c_str());
}

void ServerSettingsDialog::OnInit()
{
    // No length limit: a long prompt is taken whole.
    for (int id : {IDC_SERVER_URL, IDC_SERVER_MODEL, IDC_SERVER_PROMPT, IDC_SERVER_KEY})
        ::SendDlgItemMessageW(Handle(), id, EM_SETLIMITTEXT, 0, 0);
}

std::optional<ServerDialogValues> ServerSettingsDialog::ReadBoxes()
{
    const auto text = [this](int id) { return Utf16(ControlText(::GetDlgItem(Handle(), id))); };
    const auto checked = [this](int id) { return IsChecked(::GetDlgItem(Handle(), id)); };
    const ServerFormTexts texts{.url = text(IDC_SERVER_URL),
                                .model = text(IDC_SERVER_MODEL),
                                .prompt = text(IDC_SERVER_PROMPT),
                                .apiKey = text(IDC_SERVER_KEY),
                                .timeout = text(IDC_SERVER_TIMEOUT),
                                .contextLines = text(IDC_SERVER_CONTEXTLINES),
                                .contextTranslations = checked(IDC_SERVER_CONTEXTTRANSLATIONS),
                                .stream = checked(IDC_SERVER_STREAM),
                                .maxTokens = text(IDC_SERVER_MAXTOKENS)};
    // Starts from the settings given, so that what the dialog does not show
    // (the glossary) is handed back unchanged.
    const ServerDialogValues& shown = Shown();
    auto read = ReadServerForm(texts, shown.server);
    if (const auto* problem = std::get_if<ServerFormProblem>(&read)) {
        Win32Prompts(Handle()).ShowAppError(Widen(problem->message));
        FocusControl(Handle(), FieldControl(problem->field));
        return std::nullopt;
    }
    ServerFormValues& values = std::get<ServerFormValues>(read);
    values.server.prompt = PromptFromBox(texts.prompt, shown.server.prompt);
    return ServerDialogValues{std::move(values.server), std::move(values.apiKey)};
}

} // namespace kx::win32
