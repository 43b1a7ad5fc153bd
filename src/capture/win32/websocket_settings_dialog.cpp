#include "capture/win32/websocket_settings_dialog.h"

#include "capture/websocket_message.h"
#include "capture/win32/capture_resource_ids.h"
#include "common/http_url.h"
#include "common/utf.h"
#include "common/windows_wide.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"
#include "platform/win32/win32_prompts.h"
#include "settings/app_settings.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>

namespace kx::win32 {
namespace {

constexpr wchar_t kTesting[] = L"Connecting...";
constexpr wchar_t kNoTest[] = L"No test is possible here.";
constexpr char16_t kNotAUrl[] = u"The URL must begin with ws:// or wss:// and name a server.";
constexpr char16_t kTooManyUrls[] = u"At most 4 URLs, one a line.";

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

std::optional<std::vector<std::string>> WebSocketSettingsDialog::Edit(const std::vector<std::string>& urls)
{
    if (IsOpen())
        return std::nullopt;
    accepted_.reset();
    test_.Reset();
    std::string lines;
    for (const std::string& url : urls)
        lines += (lines.empty() ? "" : "\r\n") + url;
    ::SetDlgItemTextW(Handle(), IDC_WEBSOCKET_URL, Wide(Utf16FromUtf8(lines)).c_str());
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

std::optional<std::vector<std::string>> WebSocketSettingsDialog::ReadUrls()
{
    const std::wstring text = ControlText(::GetDlgItem(Handle(), IDC_WEBSOCKET_URL));
    std::vector<std::string> urls;
    std::u16string problem;
    for (std::size_t start = 0; start <= text.size() && problem.empty();) {
        const std::size_t end = std::min(text.find(L'\n', start), text.size());
        const std::string url = Utf8FromUtf16(Utf16(Trimmed(text.substr(start, end - start))));
        start = end + 1;
        if (url.empty())
            continue;
        if (!IsWebSocketUrl(url))
            problem = kNotAUrl;
        else if (HasUserInfo(url))
            problem = Sentence(kUserInfoNotUsed);
        else if (std::find(urls.begin(), urls.end(), url) == urls.end())
            urls.push_back(url);
    }
    if (problem.empty() && urls.empty())
        problem = kNotAUrl;
    if (problem.empty() && urls.size() > kMaxWebSocketSources)
        problem = kTooManyUrls;
    if (problem.empty())
        return urls;
    Win32Prompts(Handle()).ShowAppError(problem);
    FocusControl(Handle(), IDC_WEBSOCKET_URL);
    return std::nullopt;
}

void WebSocketSettingsDialog::OkClick()
{
    accepted_ = ReadUrls();
    if (accepted_)
        Close(IDOK);
}

// Each URL tried side by side; the box says how each went, in the order of the lines.
void WebSocketSettingsDialog::TestClick()
{
    const std::optional<std::vector<std::string>> urls = ReadUrls();
    if (!urls)
        return;
    if (!tester_) {
        test_.Say(kNoTest);
        return;
    }
    struct Results {
        std::mutex mutex;
        std::vector<std::optional<std::string>> lines;
        std::size_t left = 0;
    };
    auto results = std::make_shared<Results>();
    results->lines.resize(urls->size());
    results->left = urls->size();
    auto show = test_.Begin(kTesting);
    for (std::size_t i = 0; i < urls->size(); ++i) {
        tester_((*urls)[i], [show, results, i, url = (*urls)[i]](std::string failure) {
            std::lock_guard lock(results->mutex);
            results->lines[i] = failure.empty() ? "Connected to " + url + "." : "Cannot connect: " + failure + ".";
            if (--results->left != 0)
                return;
            std::string shown;
            for (const std::optional<std::string>& line : results->lines)
                shown += (shown.empty() ? "" : "\r\n") + *line;
            show(Wide(Utf16FromUtf8(shown)));
        });
    }
}

} // namespace kx::win32
