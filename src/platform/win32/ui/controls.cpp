#include "platform/win32/ui/controls.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <iterator>

namespace kx::win32 {

bool IsChecked(HWND box)
{
    return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND box, bool checked)
{
    ::SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void FocusControl(HWND dialog, int id)
{
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(dialog, id)), TRUE);
}

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
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    // The start of a span of `size` centred on [from, to), moved into [low, high).
    auto keepInside = [](LONG from, LONG to, int size, LONG low, LONG high) {
        const LONG centred = from + (to - from - size) / 2;
        return static_cast<int>((std::max)(low, (std::min)(centred, high - size)));
    };
    const RECT& work = monitor.rcWork;
    const int left = keepInside(around.left, around.right, width, work.left, work.right);
    const int top = keepInside(around.top, around.bottom, height, work.top, work.bottom);
    ::SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CheckMenuCommand(HMENU menu, int id, bool checked)
{
    ::CheckMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void ClearList(HWND list)
{
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
}

namespace {

std::optional<std::wstring> ChooseFile(HWND owner, const FileChoice& choice, bool save)
{
    wchar_t path[MAX_PATH * 4] = {};
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = choice.filter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = static_cast<DWORD>(std::size(path));
    dialog.lpstrTitle = choice.title;
    dialog.lpstrDefExt = choice.defaultExtension;
    dialog.Flags = OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER;
    // Opening leaves the current folder alone: programs started later resolve
    // relative paths from the program's own folder.
    if (!save)
        dialog.Flags |= OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
    const BOOL chosen = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    if (!chosen)
        return std::nullopt;
    return std::wstring(path);
}

} // namespace

std::optional<std::wstring> ChooseFileToOpen(HWND owner, const FileChoice& choice)
{
    return ChooseFile(owner, choice, false);
}

std::optional<std::wstring> ChooseFileToSave(HWND owner, const FileChoice& choice)
{
    return ChooseFile(owner, choice, true);
}

} // namespace kx::win32
