#include "app/win32/server_settings_dialog.h"

#include "app/server_settings_rules.h"
#include "app/win32/resource_ids.h"
#include "common/text.h"
#include "platform/win32/dialog_layout.h"
#include "common/utf.h"

#include <string>
#include <utility>
#include <variant>

namespace kx::win32 {
namespace {

// A test's answer on its way to the dialog's thread: the test it answers and
// the text, freed by whoever ends up with it.
constexpr UINT kTestAnswerMessage = WM_APP + 40;
struct TestAnswer {
    std::uint64_t test;
    std::wstring shown;
};

constexpr wchar_t kTesting[] = L"Testing...";
constexpr wchar_t kNoTest[] = L"No test is possible here.";

int FieldControl(ServerFormField field)
{
    switch (field) {
    case ServerFormField::Url:
        return IDC_SERVER_URL;
    case ServerFormField::Model:
        return IDC_SERVER_MODEL;
    case ServerFormField::Timeout:
        break;
    }
    return IDC_SERVER_TIMEOUT;
}

void FocusControl(HWND dialog, int id)
{
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(dialog, id)), TRUE);
}

// Centred over its owner, inside the owner's monitor's work area.
void CentreOverOwner(HWND dialog)
{
    HWND owner = ::GetWindow(dialog, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT around = monitor.rcWork;
    if (owner && !::IsIconic(owner))
        ::GetWindowRect(owner, &around);
    RECT box;
    ::GetWindowRect(dialog, &box);
    const LONG width = box.right - box.left;
    const LONG height = box.bottom - box.top;
    const RECT& work = monitor.rcWork;
    LONG left = around.left + (around.right - around.left - width) / 2;
    LONG top = around.top + (around.bottom - around.top - height) / 2;
    left = left + width > work.right ? work.right - width : left;
    top = top + height > work.bottom ? work.bottom - height : top;
    left = left < work.left ? work.left : left;
    top = top < work.top ? work.top : top;
    ::SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

ServerSettingsDialog::ServerSettingsDialog(HINSTANCE instance)
    : ModalDialog(instance, IDD_SERVERSETTINGS), answerTarget_(std::make_shared<std::atomic<HWND>>(nullptr))
{
}

ServerSettingsDialog::~ServerSettingsDialog()
{
    answerTarget_->store(nullptr);
}

std::optional<ServerDialogValues> ServerSettingsDialog::Edit(const ServerDialogValues& current)
{
    if (IsOpen())
        return std::nullopt;
    current_ = current;
    accepted_.reset();
    ++latestTest_;  // an answer to a test of an earlier opening is not shown
    ::SetDlgItemTextW(Handle(), IDC_SERVER_URL, Wide(Utf16FromUtf8(current.server.url)).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SERVER_MODEL, Wide(Utf16FromUtf8(current.server.model)).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SERVER_PROMPT, Wide(WithCrLf(current.server.prompt)).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SERVER_KEY, Wide(Utf16FromUtf8(current.apiKey)).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SERVER_TIMEOUT, std::to_wstring(current.server.timeoutSeconds).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SERVER_TESTRESULT, L"");
    ::EnableWindow(::GetDlgItem(Handle(), IDC_SERVER_TEST), TRUE);
    if (ShowModal() != IDOK)
        return std::nullopt;
    return accepted_;
}

void ServerSettingsDialog::OnInit()
{
    answerTarget_->store(Handle());
    // No length limit: a long prompt is taken whole.
    for (int id : {IDC_SERVER_URL, IDC_SERVER_MODEL, IDC_SERVER_PROMPT, IDC_SERVER_KEY})
        ::SendDlgItemMessageW(Handle(), id, EM_SETLIMITTEXT, 0, 0);
}

void ServerSettingsDialog::OnShow()
{
    CentreOverOwner(Handle());
    FocusControl(Handle(), IDC_SERVER_URL);
}

bool ServerSettingsDialog::OnCommand(int id, int notification)
{
    if (id == IDOK || id == IDC_SERVER_TEST) {
        if (notification == BN_CLICKED)
            id == IDOK ? OkClick() : TestClick();
        return true;
    }
    return ModalDialog::OnCommand(id, notification);
}

bool ServerSettingsDialog::OnMessage(UINT message, WPARAM, LPARAM lParam)
{
    if (message != kTestAnswerMessage)
        return false;
    std::unique_ptr<TestAnswer> answer(reinterpret_cast<TestAnswer*>(lParam));
    if (answer && answer->test == latestTest_ && IsOpen()) {
        ::SetDlgItemTextW(Handle(), IDC_SERVER_TESTRESULT, answer->shown.c_str());
        ::EnableWindow(::GetDlgItem(Handle(), IDC_SERVER_TEST), TRUE);
    }
    return true;
}

std::optional<ServerDialogValues> ServerSettingsDialog::ReadBoxes()
{
    const auto text = [this](int id) { return Utf16(ControlText(::GetDlgItem(Handle(), id))); };
    const ServerFormTexts texts{text(IDC_SERVER_URL), text(IDC_SERVER_MODEL), text(IDC_SERVER_PROMPT),
                                text(IDC_SERVER_KEY), text(IDC_SERVER_TIMEOUT)};
    auto read = ReadServerForm(texts);
    if (const auto* problem = std::get_if<ServerFormProblem>(&read)) {
        ::MessageBoxW(Handle(), Wide(Widen(problem->message)).c_str(), L"KestruneEX!", MB_OK | MB_ICONERROR);
        FocusControl(Handle(), FieldControl(problem->field));
        return std::nullopt;
    }
    ServerFormValues& values = std::get<ServerFormValues>(read);
    values.server.prompt = PromptFromBox(texts.prompt, current_.server.prompt);
    return ServerDialogValues{std::move(values.server), std::move(values.apiKey)};
}

void ServerSettingsDialog::OkClick()
{
    accepted_ = ReadBoxes();
    if (accepted_)
        Close(IDOK);
}

void ServerSettingsDialog::TestClick()
{
    const std::optional<ServerDialogValues> values = ReadBoxes();
    if (!values)
        return;
    if (!testRunner_) {
        ::SetDlgItemTextW(Handle(), IDC_SERVER_TESTRESULT, kNoTest);
        return;
    }
    const std::uint64_t test = ++latestTest_;
    ::SetDlgItemTextW(Handle(), IDC_SERVER_TESTRESULT, kTesting);
    ::EnableWindow(::GetDlgItem(Handle(), IDC_SERVER_TEST), FALSE);
    testRunner_(*values, [target = answerTarget_, test](std::u16string shown) {
        auto answer = std::make_unique<TestAnswer>(TestAnswer{test, Wide(shown)});
        HWND window = target->load();
        if (window && ::PostMessageW(window, kTestAnswerMessage, 0, reinterpret_cast<LPARAM>(answer.get())))
            answer.release();  // the dialog frees it
    });
}

} // namespace kx::win32
