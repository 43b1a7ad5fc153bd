#include "platform/win32/ui/dialog_test.h"

#include <utility>

namespace kx::win32 {

void DialogTest::Reset()
{
    ++latest_;
    ::SetDlgItemTextW(dialog_.Handle(), resultId_, L"");
    ::EnableWindow(::GetDlgItem(dialog_.Handle(), buttonId_), TRUE);
}

void DialogTest::Say(const wchar_t* text)
{
    ::SetDlgItemTextW(dialog_.Handle(), resultId_, text);
}

std::function<void(std::wstring)> DialogTest::Begin(const wchar_t* meanwhile)
{
    const std::uint64_t test = ++latest_;
    Say(meanwhile);
    ::EnableWindow(::GetDlgItem(dialog_.Handle(), buttonId_), FALSE);
    return [this, ui = &ui_, alive = std::weak_ptr<char>(lifetime_), test](std::wstring shown) {
        ui->Post([this, alive, test, shown = std::move(shown)] {
            if (!alive.expired())
                Show(test, shown);
        });
    };
}

// The UI thread.
void DialogTest::Show(std::uint64_t test, const std::wstring& shown)
{
    if (test != latest_ || !dialog_.IsOpen())
        return;
    Say(shown.c_str());
    ::EnableWindow(::GetDlgItem(dialog_.Handle(), buttonId_), TRUE);
}

} // namespace kx::win32
