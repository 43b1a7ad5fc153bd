#include "capture/win32/websocket_settings_dialog.h"

#include "capture/websocket_message.h"
#include "capture/win32/capture_resource_ids.h"
#include "common/utf.h"
#include "common/windows_wide.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"
#include "platform/win32/win32_prompts.h"

#include <utility>

namespace kx::win32 {
namespace {

constexpr wchar_t kTesting[] = L"Connecting...";
constexpr wchar_t kNoTest[] = L"No test is possible here.";
constexpr char16_t kNotAUrl[] = u"The URL must begin with ws:// or wss:// and name a server.";

std::wstring Trimmed(const std::wstring& text)
{
    const std::size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

} // namespace

WebSocketSettingsDialog::WebSocketSettingsDialog(HINSTANCE instance, UiThreadPort& ui)
    : ModalDialog(instance, IDD_WEBSOCKETSETTINGS), ui_(ui)
{
}

std::optional<std::string> WebSocketSettingsDialog::Edit(const std::string& url)
{
    if (IsOpen())
        return std::nullopt;
    accepted_.reset();
    ++latestTest_;  // an answer to a test of an earlier opening is not shown
    ::SetDlgItemTextW(Handle(), IDC_WEBSOCKET_URL, Wide(Utf16FromUtf8(url)).c_str());
    ::SetDlgItemTextW(Handle(), IDC_WEBSOCKET_TESTRESULT, L"");
    ::EnableWindow(::GetDlgItem(Handle(), IDC_WEBSOCKET_TEST), TRUE);
    if (ShowModal() != IDOK)
        return std::nullopt;
    return accepted_;
}

void WebSocketSettingsDialog::OnInit()
{
    ::SendDlgItemMessageW(Handle(), IDC_WEBSOCKET_URL, EM_SETLIMITTEXT, 0, 0);
}

void WebSocketSettingsDialog::OnShow()
{
    CentreOverOwner(Handle());
    FocusControl(Handle(), IDC_WEBSOCKET_URL);
}

bool WebSocketSettingsDialog::OnCommand(int id, int notification)
{
    if (id == IDOK || id == IDC_WEBSOCKET_TEST) {
        if (notification == BN_CLICKED)
            id == IDOK ? OkClick() : TestClick();
        return true;
    }
    return ModalDialog::OnCommand(id, notification);
}

std::optional<std::string> WebSocketSettingsDialog::ReadUrl()
{
    const std::string url = Utf8FromUtf16(Utf16(Trimmed(ControlText(::GetDlgItem(Handle(), IDC_WEBSOCKET_URL)))));
    if (IsWebSocketUrl(url))
        return url;
    Win32Prompts(Handle()).ShowAppError(kNotAUrl);
    FocusControl(Handle(), IDC_WEBSOCKET_URL);
    return std::nullopt;
}

void WebSocketSettingsDialog::OkClick()
{
    accepted_ = ReadUrl();
    if (accepted_)
        Close(IDOK);
}

// The UI thread; only the latest test of this opening is shown.
void WebSocketSettingsDialog::ShowTestResult(std::uint64_t test, const std::wstring& shown)
{
    if (test != latestTest_ || !IsOpen())
        return;
    ::SetDlgItemTextW(Handle(), IDC_WEBSOCKET_TESTRESULT, shown.c_str());
    ::EnableWindow(::GetDlgItem(Handle(), IDC_WEBSOCKET_TEST), TRUE);
}

void WebSocketSettingsDialog::TestClick()
{
    const std::optional<std::string> url = ReadUrl();
    if (!url)
        return;
    if (!tester_) {
        ::SetDlgItemTextW(Handle(), IDC_WEBSOCKET_TESTRESULT, kNoTest);
        return;
    }
    const std::uint64_t test = ++latestTest_;
    ::SetDlgItemTextW(Handle(), IDC_WEBSOCKET_TESTRESULT, kTesting);
    ::EnableWindow(::GetDlgItem(Handle(), IDC_WEBSOCKET_TEST), FALSE);
    // The answer may come after the dialog has gone: it reaches the dialog
    // only through the UI thread's queue, and only while the dialog lives.
    tester_(*url, [this, ui = &ui_, alive = std::weak_ptr<char>(lifetime_), test, url = *url](std::string failure) {
        const std::wstring shown = Wide(Utf16FromUtf8(failure.empty() ? "Connected to " + url + "."
                                                                      : "Cannot connect: " + failure + "."));
        ui->Post([this, alive, test, shown] {
            if (!alive.expired())
                ShowTestResult(test, shown);
        });
    });
}

} // namespace kx::win32
