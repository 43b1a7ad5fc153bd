#include "agth/win32/shortcut_page.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/win32_prompts.h"

#include "agth/win32/agth_resource_ids.h"
#include "common/app_error.h"
#include "platform/win32/ui/dialog_layout.h"

#include <commdlg.h>
#include <shellapi.h>

#include <iterator>
#include <string>

namespace kx::win32 {
namespace {

constexpr int kMethodButtons[] = {IDC_SM_ASCII, IDC_SM_SEQHEX, IDC_SM_REVHEX, IDC_SM_UNICODE};

// Checks the button of a get-text method (1 to 4; any other: the first).
// The ids are not one range, so each button is set on its own.
void CheckMethodButton(HWND dialog, int method)
{
    const int count = static_cast<int>(std::size(kMethodButtons));
    const int checked = method >= 1 && method <= count ? method - 1 : 0;
    for (int i = 0; i < count; ++i)
        ::CheckDlgButton(dialog, kMethodButtons[i], i == checked ? BST_CHECKED : BST_UNCHECKED);
}

constexpr const char* kAgthOptionsHelp =
    "/C - copy captured text to clipboard\r\n"
    "/KF[len_base][:len_mul] - supress repetition of phrases, 'len_base' and 'len_mul' are tracing parameters "
    "(default parameters: 20:10)\r\n"
    "/KS[number] - remove 'number' repetitions of each symbol (default parameter: 1)\r\n"
    "/L[locale_id] - sets application locale to 'locale_id', requires installed AppLocale, can't be used with /R "
    "(default parameter: 411)\r\n"
    "/NJ - use thread code page instead of 3A4 for non-unicode text\r\n"
    "/NS - don't use subcontexts\r\n"
    "/R[locale_id] - sets thread locales to 'locale_id', can't be used with /L (default parameter: 411)\r\n"
    "/V - process text threads from system contexts\r\n"
    "/X - extended set of hooked functions";

std::u16string ControlUtf16(HWND control)
{
    return Utf16(ControlText(control));
}

// Escape in the Notes box is the dialog's, not the box's: a multi-line edit
// would otherwise post WM_CLOSE to the helper. The dialog then closes only
// while "Close" has the focus.
LRESULT CALLBACK NotesEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_NCDESTROY)
        ::RemoveWindowSubclass(edit, &NotesEditProc, 0);
    LRESULT code = ::DefSubclassProc(edit, message, wParam, lParam);
    if (message == WM_GETDLGCODE) {
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key && key->message == WM_KEYDOWN && key->wParam == VK_ESCAPE)
            code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
    }
    return code;
}

HICON IconForPath(const std::u16string& path, bool large)
{
    SHFILEINFOW info{};
    const UINT flags = SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | SHGFI_EXETYPE | (large ? 0 : SHGFI_SMALLICON);
    const std::wstring wide = Wide(path);
    if (!::SHGetFileInfoW(wide.c_str(), 0, &info, sizeof info, flags))
        return nullptr;
    return info.hIcon;
}

} // namespace

ShortcutPage::ShortcutPage(AppSettings& settings, AgthHelperHost& methodHost, CapturePauseHost& pauseHost,
                           Win32Prompts& prompts, Win32CodePages& codePages, Win32ProgramLauncher& launcher)
    : codePages_(codePages), rules_(settings, methodHost, pauseHost, {prompts, codePages, files_, launcher})
{
}

ShortcutPage::~ShortcutPage()
{
    if (largeIcon_)
        ::DestroyIcon(largeIcon_);
}

void ShortcutPage::Created(HWND dialog)
{
    dialog_ = dialog;
    HWND list = Control(IDC_SM_LIST);
    for (int column = 0; column < 6; ++column) {
        LVCOLUMNW c{};
        c.mask = LVCF_WIDTH | LVCF_SUBITEM;
        c.cx = column == 0 ? DialogUnitsWide(list, 120) : 0;
        c.iSubItem = column;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
    }
    images_ = ::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 8, 8);
    // The list owns the image list and destroys it with itself.
    ::SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));

    HWND delay = Control(IDC_SM_DELAY);
    for (const char16_t* item : kShortcutDelays)
        ::SendMessageW(delay, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
    ::SendMessageW(delay, CB_SETCURSEL, 2, 0);
    CheckMethodButton(dialog_, 1);

    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog_, nullptr,
                                 nullptr, nullptr);
    if (tooltip_) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = dialog_;
        tool.uId = reinterpret_cast<UINT_PTR>(Control(IDC_SM_OPTION));
        tool.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
        ::SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 32767);
    }

    ::SetWindowSubclass(Control(IDC_SM_NOTES), &NotesEditProc, 0, 0);

    // Every loaded entry gets its image and shows, whatever stopped the first
    // selection.
    const std::exception_ptr error = CaughtFrom([this] { rules_.Load(); });
    for (const ShortcutItem& item : rules_.Items())
        AddSmallIcon(item.path);
    WriteList();
    WriteEditors();
    RethrowIfAny(error);
}

template <class Change>
void ShortcutPage::Mirrored(Change change)
{
    const std::exception_ptr error = CaughtFrom(change);
    WriteList();
    WriteEditors();
    RethrowIfAny(error);
}

void ShortcutPage::Show(bool visible)
{
    static constexpr int kControls[] = {
        IDC_SM_LIST,   IDC_SM_NAMELABEL,   IDC_SM_NAME,  IDC_SM_APATHBTN, IDC_SM_APATH,  IDC_SM_OPTIONLABEL,
        IDC_SM_OPTION, IDC_SM_DELAYLABEL,  IDC_SM_DELAY, IDC_SM_ICON,     IDC_SM_NOTESLABEL, IDC_SM_NOTES,
        IDC_SM_METHODGROUP, IDC_SM_ASCII,  IDC_SM_SEQHEX, IDC_SM_REVHEX,  IDC_SM_UNICODE, IDC_SM_NEW,    IDC_SM_DELETE,
        IDC_SM_APPLY,  IDC_SM_RUN,
    };
    for (int id : kControls)
        ::ShowWindow(Control(id), visible ? SW_SHOW : SW_HIDE);
    if (visible && tooltip_) {
        // The help text is kept in code page 949 and widened for the hint.
        const std::wstring help = Wide(codePages_.ToWide(kAgthOptionsHelp, 949));
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = dialog_;
        tool.uId = reinterpret_cast<UINT_PTR>(Control(IDC_SM_OPTION));
        tool.lpszText = const_cast<wchar_t*>(help.c_str());
        ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void ShortcutPage::Save()
{
    rules_.Save();
}

bool ShortcutPage::Command(int id, int notification, bool& close)
{
    switch (id) {
    case IDC_SM_NEW:
        if (notification == BN_CLICKED)
            NewClick();
        return true;
    case IDC_SM_DELETE:
        if (notification == BN_CLICKED)
            DeleteClick();
        return true;
    case IDC_SM_APPLY:
        if (notification == BN_CLICKED)
            ApplyClick();
        return true;
    case IDC_SM_RUN:
        if (notification == BN_CLICKED)
            close = Run();
        return true;
    case IDC_SM_APATHBTN:
        if (notification == BN_CLICKED)
            AppPathClick();
        return true;
    case IDC_SM_OPTION:
        if (notification == EN_KILLFOCUS) {
            ReadEditors();
            rules_.OptionExit();
            WriteEditors();
        }
        return true;
    case IDC_SM_NAME:
    case IDC_SM_APATH:
    case IDC_SM_DELAY:
    case IDC_SM_NOTES:
    case IDC_SM_ASCII:
    case IDC_SM_SEQHEX:
    case IDC_SM_REVHEX:
    case IDC_SM_UNICODE:
        return true;
    default:
        return false;
    }
}

bool ShortcutPage::Notify(const NMHDR& header, bool& close)
{
    if (header.idFrom != IDC_SM_LIST)
        return false;
    switch (header.code) {
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if (!writing_ && (change.uChanged & LVIF_STATE) &&
            ((change.uOldState ^ change.uNewState) & LVIS_SELECTED))
            Select();
        return true;
    }
    case LVN_ENDLABELEDITW: {
        const auto& edit = reinterpret_cast<const NMLVDISPINFOW&>(header);
        const std::vector<ShortcutItem>& items = rules_.Items();
        const bool known = edit.item.iItem >= 0 && static_cast<size_t>(edit.item.iItem) < items.size();
        // Only a new name reaches the entry and the name editor.
        if (edit.item.pszText && known && Utf16(edit.item.pszText) != items[static_cast<size_t>(edit.item.iItem)].name) {
            ReadEditors();
            rules_.Renamed(edit.item.iItem, Utf16(edit.item.pszText));
            WriteEditors();
        }
        ::SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, edit.item.pszText ? TRUE : FALSE);
        return true;
    }
    case NM_DBLCLK:
        if (::SendMessageW(Control(IDC_SM_LIST), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) >= 0)
            close = Run();
        return true;
    default:
        return false;
    }
}

void ShortcutPage::Select()
{
    const LRESULT row = ::SendMessageW(Control(IDC_SM_LIST), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    ReadEditors();
    // The editors filled before a faulty field keep their new values.
    const std::exception_ptr error =
        CaughtFrom([&] { rules_.Select(row >= 0 ? std::optional<int>(static_cast<int>(row)) : std::nullopt); });
    WriteEditors();
    RethrowIfAny(error);
}

void ShortcutPage::NewClick()
{
    ReadEditors();
    if (!rules_.New())
        return;
    WriteList();
    WriteEditors();
    HWND list = Control(IDC_SM_LIST);
    ::SetFocus(list);
    ::SendMessageW(list, LVM_EDITLABELW, static_cast<WPARAM>(*rules_.Selected()), 0);
}

void ShortcutPage::DeleteClick()
{
    const std::optional<int> selected = rules_.Selected();
    if (!selected)
        return;
    // The name is shown in the system's 8-bit code page.
    const std::u16string name =
        codePages_.ToWide(codePages_.FromWide(rules_.Items()[static_cast<size_t>(*selected)].name, 0), 0);
    if (!Win32Prompts(dialog_).Confirm(u"YES to remove \"" + name + u"\""))
        return;
    ReadEditors();
    Mirrored([this] { rules_.DeleteSelected(); });
}

void ShortcutPage::ApplyClick()
{
    ReadEditors();
    if (!rules_.Apply())
        return;
    AddSmallIcon(rules_.Editors().appPath);
    WriteList();
    WriteEditors();
}

void ShortcutPage::AppPathClick()
{
    const std::optional<std::wstring> path =
        ChooseFileToOpen(dialog_, {L"EXE\0*.exe\0", L"Select Application ", L"exe"});
    if (!path)
        return;
    ReadEditors();
    rules_.AppPathChosen(Utf16(*path));
    WriteEditors();
}

bool ShortcutPage::Run()
{
    ReadEditors();
    return rules_.Run(ControlUtf16(Control(IDC_AGTH_PATHBOX)));
}

void ShortcutPage::ReadEditors()
{
    ShortcutEditors& e = rules_.Editors();
    e.gameName = ControlUtf16(Control(IDC_SM_NAME));
    e.appPath = ControlUtf16(Control(IDC_SM_APATH));
    e.option = ControlUtf16(Control(IDC_SM_OPTION));
    const LRESULT delay = ::SendMessageW(Control(IDC_SM_DELAY), CB_GETCURSEL, 0, 0);
    e.delayIndex = delay >= 0 && delay < kShortcutDelayCount ? static_cast<int>(delay) : 2;
    e.notes = ControlUtf16(Control(IDC_SM_NOTES));
    for (int i = 0; i < static_cast<int>(std::size(kMethodButtons)); ++i)
        if (::IsDlgButtonChecked(dialog_, kMethodButtons[i]) == BST_CHECKED)
            e.method = i + 1;
}

void ShortcutPage::WriteEditors()
{
    const ShortcutEditors& e = rules_.Editors();
    if (ControlUtf16(Control(IDC_SM_APATH)) != e.appPath || !largeIcon_)
        SetLargeIcon(e.appPath);
    ::SetDlgItemTextW(dialog_, IDC_SM_NAME, Wide(e.gameName).c_str());
    ::SetDlgItemTextW(dialog_, IDC_SM_APATH, Wide(e.appPath).c_str());
    ::SetDlgItemTextW(dialog_, IDC_SM_OPTION, Wide(e.option).c_str());
    ::SendMessageW(Control(IDC_SM_DELAY), CB_SETCURSEL, static_cast<WPARAM>(e.delayIndex), 0);
    ::SetDlgItemTextW(dialog_, IDC_SM_NOTES, Wide(e.notes).c_str());
    CheckMethodButton(dialog_, e.method);
}

void ShortcutPage::WriteList()
{
    HWND list = Control(IDC_SM_LIST);
    writing_ = true;
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ClearList(list);
    const std::vector<ShortcutItem>& items = rules_.Items();
    for (size_t i = 0; i < items.size(); ++i) {
        const ShortcutItem& it = items[i];
        std::wstring caption = Wide(it.name);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = caption.data();
        item.iImage = it.image;
        ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        const std::u16string* subItems[] = {&it.path, &it.options, &it.delay, &it.notes, &it.method};
        for (int s = 0; s < 5; ++s) {
            std::wstring text = Wide(*subItems[s]);
            LVITEMW sub{};
            sub.iSubItem = s + 1;
            sub.pszText = text.data();
            ::SendMessageW(list, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&sub));
        }
    }
    if (const std::optional<int> selected = rules_.Selected()) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(*selected), reinterpret_cast<LPARAM>(&state));
        ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(*selected), FALSE);
    }
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
    writing_ = false;
}

void ShortcutPage::SetLargeIcon(const std::u16string& path)
{
    HICON icon = path.empty() ? nullptr : IconForPath(path, true);
    ::SendMessageW(Control(IDC_SM_ICON), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    if (largeIcon_)
        ::DestroyIcon(largeIcon_);
    largeIcon_ = icon;
}

void ShortcutPage::AddSmallIcon(const std::u16string& path)
{
    // Every loaded entry and every "Apply" takes the next image; without a
    // shell icon the slot shows the stock application icon.
    HICON icon = IconForPath(path, false);
    if (icon) {
        ::ImageList_AddIcon(images_, icon);
        ::DestroyIcon(icon);
    } else {
        ::ImageList_AddIcon(images_, ::LoadIconW(nullptr, IDI_APPLICATION));
    }
}

} // namespace kx::win32
