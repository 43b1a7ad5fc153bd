#include "companion/win32/companion_dialog.h"

#include "common/text.h"
#include "common/windows_wide.h"
#include "companion/win32/companion_resource_ids.h"
#include "companion/win32/companion_server.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

namespace kx::win32 {
namespace {

std::wstring PageAddress(const std::string& host, int port)
{
    return Wide(Widen("http://" + host + ":" + std::to_string(port) + "/"));
}

} // namespace

CompanionDialog::CompanionDialog(HINSTANCE instance) : ModalDialog(instance, IDD_COMPANION) {}

std::optional<CompanionSettings> CompanionDialog::Edit(const CompanionSettings& now, Apply apply)
{
    if (IsOpen())
        return std::nullopt;
    apply_ = std::move(apply);
    accepted_.reset();
    SetChecked(::GetDlgItem(Handle(), IDC_COMPANION_ENABLED), now.EnabledOn());
    SetChecked(::GetDlgItem(Handle(), IDC_COMPANION_LAN), now.LanOn());
    ::SetDlgItemInt(Handle(), IDC_COMPANION_PORT, static_cast<UINT>(now.Port), FALSE);
    ::SetDlgItemTextW(Handle(), IDC_COMPANION_STATUS, L"");
    ShowAddresses();
    if (ShowModal() != IDOK)
        return std::nullopt;
    return accepted_;
}

void CompanionDialog::OnShow()
{
    CentreOverOwner(Handle());
    FocusControl(Handle(), IDC_COMPANION_ENABLED);
}

std::optional<CompanionSettings> CompanionDialog::Read() const
{
    BOOL number = FALSE;
    const UINT port = ::GetDlgItemInt(Handle(), IDC_COMPANION_PORT, &number, FALSE);
    if (!number || port < 1 || port > 65535)
        return std::nullopt;
    CompanionSettings settings;
    settings.Enabled = IsChecked(::GetDlgItem(Handle(), IDC_COMPANION_ENABLED)) ? 1 : 0;
    settings.Lan = IsChecked(::GetDlgItem(Handle(), IDC_COMPANION_LAN)) ? 1 : 0;
    settings.Port = static_cast<std::int32_t>(port);
    return settings;
}

void CompanionDialog::ShowAddresses()
{
    const bool on = IsChecked(::GetDlgItem(Handle(), IDC_COMPANION_ENABLED));
    for (int id : {IDC_COMPANION_PORTLABEL, IDC_COMPANION_PORT, IDC_COMPANION_LAN, IDC_COMPANION_ADDRESSES,
                   IDC_COMPANION_LINK})
        ::EnableWindow(::GetDlgItem(Handle(), id), on);
    const std::optional<CompanionSettings> settings = Read();
    if (!settings) {
        ::SetDlgItemTextW(Handle(), IDC_COMPANION_ADDRESSES, L"The port is a number from 1 to 65535.");
        ::SetDlgItemTextW(Handle(), IDC_COMPANION_LINK, L"");
        return;
    }
    std::wstring addresses;
    if (!settings->LanOn()) {
        addresses = L"Only this computer can connect.";
    } else {
        const std::vector<std::string> network = NetworkAddresses();
        addresses = network.empty() ? L"This computer has no network address now." : L"On a phone or tablet on this network, open:";
        for (const std::string& host : network)
            addresses += L"\r\n" + PageAddress(host, settings->Port);
    }
    ::SetDlgItemTextW(Handle(), IDC_COMPANION_ADDRESSES, addresses.c_str());
    const std::wstring link = PageAddress("127.0.0.1", settings->Port);
    ::SetDlgItemTextW(Handle(), IDC_COMPANION_LINK, (L"<a>" + link + L"</a>").c_str());
}

bool CompanionDialog::OnCommand(int id, int notification)
{
    switch (id) {
    case IDOK:
        if (notification == BN_CLICKED)
            OkClick();
        return true;
    case IDC_COMPANION_ENABLED:
    case IDC_COMPANION_LAN:
        if (notification == BN_CLICKED)
            ShowAddresses();
        return true;
    case IDC_COMPANION_PORT:
        if (notification == EN_CHANGE)
            ShowAddresses();
        return true;
    default:
        return ModalDialog::OnCommand(id, notification);
    }
}

bool CompanionDialog::OnMessage(UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_NOTIFY)
        return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom != IDC_COMPANION_LINK || (header->code != NM_CLICK && header->code != NM_RETURN))
        return false;
    LinkClick();
    return true;
}

void CompanionDialog::LinkClick()
{
    if (const std::optional<CompanionSettings> settings = Read())
        ::ShellExecuteW(Handle(), L"open", PageAddress("127.0.0.1", settings->Port).c_str(), nullptr, nullptr,
                        SW_SHOWNORMAL);
}

void CompanionDialog::OkClick()
{
    const std::optional<CompanionSettings> settings = Read();
    if (!settings) {
        ::SetDlgItemTextW(Handle(), IDC_COMPANION_STATUS, L"The port is a number from 1 to 65535.");
        FocusControl(Handle(), IDC_COMPANION_PORT);
        return;
    }
    const std::u16string failure = apply_ ? apply_(*settings) : std::u16string();
    if (!failure.empty()) {
        ::SetDlgItemTextW(Handle(), IDC_COMPANION_STATUS, Wide(failure).c_str());
        FocusControl(Handle(), IDC_COMPANION_PORT);
        return;
    }
    accepted_ = settings;
    Close(IDOK);
}

} // namespace kx::win32
