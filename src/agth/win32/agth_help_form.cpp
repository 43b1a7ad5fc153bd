#include "agth/win32/agth_help_form.h"

#include "agth/win32/agth_resource_ids.h"
#include "common/app_error.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"

#include <commctrl.h>
#include <commdlg.h>

#include <iterator>
#include <string>

namespace kx::win32 {
namespace {

// The controls of the "Attach process" tab.
constexpr int kAttachPage[] = {
    IDC_AGTH_GRID,         IDC_AGTH_ATTACHBTN, IDC_AGTH_ATTNOPTBTN, IDC_AGTH_REFRESHBTN, IDC_AGTH_OPTIONLABEL,
    IDC_AGTH_OPTIONBOX,    IDC_AGTH_GETTEXTGROUP, IDC_AGTH_ASRBUTTON, IDC_AGTH_SHRBUTTON, IDC_AGTH_RHRBUTTON,
    IDC_AGTH_UNIBUTTON,
};
constexpr int kGetTextChoices[] = {IDC_AGTH_ASRBUTTON, IDC_AGTH_SHRBUTTON, IDC_AGTH_RHRBUTTON, IDC_AGTH_UNIBUTTON};

} // namespace

AgthHelpForm::AgthHelpForm(HINSTANCE instance, AppSettings& settings, AgthHelperHost& mainWindow,
                           CapturePauseHost& capturePause)
    : ModalDialog(instance, IDD_AGTHHELPER),
      rules_(settings, mainWindow, {snapshot_, launcher_, prompts_, codePages_}),
      shortcuts_(settings, mainWindow, capturePause, prompts_, codePages_, launcher_)
{
}

void AgthHelpForm::OnInit()
{
    prompts_.SetOwner(Handle());
    launcher_.SetOwner(Handle());
    CentreOnDesktop();

    HWND tabs = Control(IDC_AGTH_TABS);
    const wchar_t* pages[] = {L"Attach process", L"Shortcut Manager"};
    for (int i = 0; i < 2; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(pages[i]);
        ::SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    ::SendMessageW(tabs, TCM_SETCURSEL, 0, 0);
    // A stored delay or method that is no number stops the shortcut list's
    // first selection with the conversion error: the rest of the window is
    // set up all the same, and the error is shown after.
    const std::exception_ptr shortcutError = CaughtFrom([this] { shortcuts_.Created(Handle()); });
    TabsChange();

    HWND grid = Control(IDC_AGTH_GRID);
    ::SendMessageW(grid, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    AddListColumn(grid, 0, L"Process ID", 43);
    AddListColumn(grid, 1, L"Process Name", 215);

    rules_.Created();
    WriteControls();
    RethrowIfAny(shortcutError);
}

// The helper opens at the centre of the screen rather than over its owner.
void AgthHelpForm::CentreOnDesktop()
{
    RECT outer;
    HWND box = Handle();
    ::GetWindowRect(box, &outer);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    ::SetWindowPos(box, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void AgthHelpForm::OnShow()
{
    FormShow();
}

void AgthHelpForm::FormShow()
{
    ReadControls();
    rules_.Open();
    WriteControls();
    ::SetFocus(Control(IDC_AGTH_GRID));
}

void AgthHelpForm::OnClosing()
{
    ReadControls();
    rules_.Closing();
    shortcuts_.Save();
}

bool AgthHelpForm::OnCommand(int id, int notification)
{
    bool close = false;
    if (shortcuts_.Command(id, notification, close)) {
        if (close)
            Close(IDOK);
        return true;
    }
    switch (id) {
    case IDC_AGTH_BROWBTN:
        if (notification == BN_CLICKED)
            BrowBtnClick();
        return true;
    case IDC_AGTH_ATTACHBTN:
        if (notification == BN_CLICKED)
            AttachAgth(false);
        return true;
    case IDC_AGTH_ATTNOPTBTN:
        if (notification == BN_CLICKED)
            AttachAgth(true);
        return true;
    case IDC_AGTH_REFRESHBTN:
        if (notification == BN_CLICKED)
            RefreshBtnClick();
        return true;
    case IDC_AGTH_OPTIONBOX:
        if (notification == CBN_KILLFOCUS)
            OptionBoxExit();
        return true;
    case IDC_AGTH_ASRBUTTON:
    case IDC_AGTH_SHRBUTTON:
    case IDC_AGTH_RHRBUTTON:
    case IDC_AGTH_UNIBUTTON:
        if (notification == BN_CLICKED)
            GetTextChoiceClick(id == IDC_AGTH_UNIBUTTON ? 4 : id - IDC_AGTH_ASRBUTTON + 1);
        return true;
    case IDC_AGTH_CHECKBOX1:
        if (notification == BN_CLICKED)
            CheckBox1Click();
        return true;
    case IDC_AGTH_CLOSEBTN:
        if (notification == BN_CLICKED)
            Close(IDCANCEL);
        return true;
    case IDCANCEL:
        // Escape closes the window only while "Close" has the focus.
        if (::GetFocus() == Control(IDC_AGTH_CLOSEBTN))
            Close(IDCANCEL);
        return true;
    case IDOK:
        return true;
    default:
        return false;
    }
}

bool AgthHelpForm::OnMessage(UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_NOTIFY)
        return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == IDC_AGTH_TABS && header->code == TCN_SELCHANGE) {
        TabsChange();
        return true;
    }
    bool close = false;
    if (shortcuts_.Notify(*header, close)) {
        if (close)
            Close(IDOK);
        return true;
    }
    if (header->idFrom == IDC_AGTH_GRID && header->code == NM_DBLCLK) {
        AttachAgth(false);
        return true;
    }
    return false;
}

void AgthHelpForm::BrowBtnClick()
{
    const std::optional<std::wstring> path = ChooseFileToOpen(
        Handle(), {L"Agth execute files\0agth.exe;agth64.exe\0", L"Select Agth.exe or Agth64.exe", L"exe"});
    if (!path)
        return;
    ReadControls();
    rules_.AgthPathChosen(Utf16(*path));
    WriteControls();
}

void AgthHelpForm::RefreshBtnClick()
{
    ReadControls();
    rules_.RefreshProcessList();
    WriteProcessGrid();
}

void AgthHelpForm::AttachAgth(bool withoutOptions)
{
    ReadControls();
    const bool launched = rules_.AttachAgth(withoutOptions);
    WriteControls();
    if (launched)
        Close(IDOK);
}

void AgthHelpForm::OptionBoxExit()
{
    ReadControls();
    rules_.OptionBoxExit();
    WriteOptionBox();
}

void AgthHelpForm::GetTextChoiceClick(int method)
{
    rules_.GetTextChoiceClicked(method);
}

void AgthHelpForm::CheckBox1Click()
{
    rules_.ShowOnStartupClicked(IsChecked(Control(IDC_AGTH_CHECKBOX1)));
}

void AgthHelpForm::TabsChange()
{
    const bool attachPage = ::SendMessageW(Control(IDC_AGTH_TABS), TCM_GETCURSEL, 0, 0) == 0;
    for (int id : kAttachPage)
        ::ShowWindow(Control(id), attachPage ? SW_SHOW : SW_HIDE);
    shortcuts_.Show(!attachPage);
}

void AgthHelpForm::ReadControls()
{
    AgthHelperControls& c = rules_.Controls();
    c.agthPath = Utf16(ControlText(Control(IDC_AGTH_PATHBOX)));
    HWND grid = Control(IDC_AGTH_GRID);
    LRESULT row = ::SendMessageW(grid, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (row < 0)
        row = ::SendMessageW(grid, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED);
    if (row >= 0 && static_cast<size_t>(row) < c.processes.size())
        c.currentRow = static_cast<int>(row);
    else
        c.currentRow.reset();
    HWND box = Control(IDC_AGTH_OPTIONBOX);
    c.optionText = codePages_.FromWide(Utf16(ControlText(box)), 0);
    c.optionHistory.clear();
    const LRESULT count = ::SendMessageW(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(::SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)) + 1,
                          L'\0');
        item.resize(static_cast<size_t>(
            ::SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()))));
        c.optionHistory.push_back(codePages_.FromWide(Utf16(item), 0));
    }
    for (int i = 0; i < static_cast<int>(std::size(kGetTextChoices)); ++i)
        if (IsChecked(Control(kGetTextChoices[i])))
            c.getTextChoice = i + 1;
    c.showOnStartup = IsChecked(Control(IDC_AGTH_CHECKBOX1));
}

void AgthHelpForm::WriteControls()
{
    const AgthHelperControls& c = rules_.Controls();
    ::SetDlgItemTextW(Handle(), IDC_AGTH_PATHBOX, Wide(c.agthPath).c_str());
    WriteProcessGrid();
    WriteOptionBox();
    for (int i = 0; i < static_cast<int>(std::size(kGetTextChoices)); ++i)
        SetChecked(Control(kGetTextChoices[i]), c.getTextChoice == i + 1);
    SetChecked(Control(IDC_AGTH_CHECKBOX1), c.showOnStartup);
}

void AgthHelpForm::WriteProcessGrid()
{
    const AgthHelperControls& c = rules_.Controls();
    HWND grid = Control(IDC_AGTH_GRID);
    ::SendMessageW(grid, WM_SETREDRAW, FALSE, 0);
    ClearList(grid);
    for (size_t i = 0; i < c.processes.size(); ++i) {
        std::wstring id = Wide(codePages_.ToWide(c.processes[i].processId, 0));
        std::wstring name = Wide(codePages_.ToWide(c.processes[i].exeName, 0));
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = id.data();
        ::SendMessageW(grid, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = name.data();
        ::SendMessageW(grid, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
    }
    if (c.currentRow) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(grid, LVM_SETITEMSTATE, static_cast<WPARAM>(*c.currentRow), reinterpret_cast<LPARAM>(&state));
        ::SendMessageW(grid, LVM_ENSUREVISIBLE, static_cast<WPARAM>(*c.currentRow), FALSE);
    }
    ::SendMessageW(grid, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(grid, nullptr, TRUE);
}

void AgthHelpForm::WriteOptionBox()
{
    const AgthHelperControls& c = rules_.Controls();
    HWND box = Control(IDC_AGTH_OPTIONBOX);
    ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::string& option : c.optionHistory) {
        const std::wstring text = Wide(codePages_.ToWide(option, 0));
        ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // The text shows as the list's first item when it is that item.
    if (!c.optionHistory.empty() && c.optionHistory.front() == c.optionText)
        ::SendMessageW(box, CB_SETCURSEL, 0, 0);
    else
        ::SetWindowTextW(box, Wide(codePages_.ToWide(c.optionText, 0)).c_str());
}

} // namespace kx::win32
