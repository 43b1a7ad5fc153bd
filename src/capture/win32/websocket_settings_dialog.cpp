#include "capture/win32/websocket_settings_dialog.h"

#include "capture/websocket_message.h"
#include "capture/win32/capture_resource_ids.h"
#include "common/http_url.h"
#include "common/utf.h"
#include "common/windows_wide.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"
#include "platform/win32/win32_prompts.h"

#include <string_view>
#include <utility>

namespace kx::win32 {
namespace {

constexpr wchar_t kTesting[] = L"Connecting...";
constexpr wchar_t kNoTest[] = L"No test is possible here.";
constexpr char16_t kNotAUrl[] = u"The URL must begin with ws:// or wss:// and name a server.";

// The reason the connection gives, as a sentence for the box.
std::u16string Sentence(std::string_view reason)
{
    std::u16string text = Utf16FromUtf8(reason);
    if (!text.empty() && text[0] >= u'a' && text[0] <= u'z')
        text[0] = static_cast<char16_t>(text[0] - u'a' + u'A');
    return text + u".";
}

std::wstring Trimmed(const std::wstring& text)
{
    const std::size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

} // namespace

WebSocketSettingsDialog::WebSocketSettingsDialog(HINSTANCE instance, UiThreadPort& ui)
    : ModalDialog(instance, IDD_WEBSOCKETSETTINGS), test_(*this, ui, IDC_WEBSOCKET_TEST, IDC_WEBSOCKET_TESTRESULT)
{
}

std::optional<std::string> WebSocketSettingsDialog::Edit(const std::string& url)
{
    if (IsOpen())
        return std::nullopt;
    accepted_.reset();
    test_.Reset();
    ::SetDlgItemTextW(Handle(), IDC_WEBSOCKET_URL, Wide(Utf16FromUtf8(url)).c_str());
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
    if (IsWebSocketUrl(url) && !HasUserInfo(url))
        return url;
    Win32Prompts(Handle()).ShowAppError(IsWebSocketUrl(url) ? Sentence(kUserInfoNotUsed) : kNotAUrl);
    FocusControl(Handle(), IDC_WEBSOCKET_URL);
    return std::nullopt;
}

void WebSocketSettingsDialog::OkClick()
{
    accepted_ = ReadUrl();
    if (accepted_)
        Close(IDOK);
}

void WebSocketSettingsDialog::TestClick()
{
    const std::optional<std::string> url = ReadUrl();
    if (!url)
        return;
    if (!tester_) {
        test_.Say(kNoTest);
        return;
    }
    tester_(*url, [show = test_.Begin(kTesting), url = *url](std::string failure) {
        show(Wide(Utf16FromUtf8(failure.empty() ? "Connected to " + url + "." : "Cannot connect: " + failure + ".")));
    });
}

} // namespace kx::win32
