#include "settings/win32/setting_form.h"

#include "settings/win32/settings_resource_ids.h"
#include "common/app_error.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"
#include "platform/win32/win32_code_pages.h"

#include <commctrl.h>
#include <commdlg.h>

#include <string>

namespace kx::win32 {
namespace {

constexpr UINT_PTR kEdit1SubclassId = 1;

// A settings colour as the screen shows it: system colours by their index,
// the specials (no colour, default colour) as black.
COLORREF ScreenColor(Color color)
{
    if (IsSystemColor(color))
        return ::GetSysColor(SystemColorIndex(color));
    return (color & 0xFF000000u) ? RGB(0, 0, 0) : static_cast<COLORREF>(color);
}

// The error box takes 8-bit text in the ANSI code page.
std::string Ansi(std::u16string_view text)
{
    return Win32CodePages().FromWide(text, CP_ACP);
}

} // namespace

SettingForm::SettingForm(HINSTANCE instance, AppSettings& settings, AdvancedSettingsHost& mainWindow)
    : ModalDialog(instance, IDD_SETTINGS), mainWindow_(mainWindow), rules_(settings, mainWindow)
{
}

void SettingForm::OnInit()
{
    HWND list = Control(IDC_SETTINGS_CSCOMBOBOX);
    for (const CharacterSet& set : CharacterSets())
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(set.name).c_str()));

    HWND trackBar = Control(IDC_SETTINGS_TRACKBAR1);
    ::SendMessageW(trackBar, TBM_SETRANGE, FALSE, MAKELPARAM(0, kTransparencyMax));
    ::SendMessageW(trackBar, TBM_SETTICFREQ, 5, 0);
    ::SendMessageW(trackBar, TBM_SETPOS, TRUE, 0);

    // The arrows step the width box's number; without UDS_ALIGNRIGHT they keep
    // to their own place in the template, beside the box.
    HWND upDown = Control(IDC_SETTINGS_WIDTHUPDOWN);
    ::SendMessageW(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Control(IDC_SETTINGS_OUTLINEWIDTH)), 0);
    ::SendMessageW(upDown, UDM_SETRANGE32, kMinOutlineWidth, kMaxOutlineWidth);

    ::SetWindowSubclass(Control(IDC_SETTINGS_EDIT1), &SettingForm::Edit1Proc, kEdit1SubclassId, 0);
    WriteControls();
}

void SettingForm::OnShow()
{
    FormShow();
}

void SettingForm::FormShow()
{
    // The list keeps its selection when the code page is unknown; take it first.
    ReadControls();
    rules_.Open();
    WriteControls();
    ::SetFocus(Control(IDC_SETTINGS_BUTTON1));
}

bool SettingForm::OnCommand(int id, int notification)
{
    switch (id) {
    case IDC_SETTINGS_BUTTON2:
        if (notification == BN_CLICKED)
            Button2Click();
        return true;
    case IDC_SETTINGS_BUTTON1:
        if (notification == BN_CLICKED)
            Button1Click();
        return true;
    case IDC_SETTINGS_BUTTON3:
        if (notification == BN_CLICKED)
            Button3Click();
        return true;
    case IDC_SETTINGS_OUTLINECOLOR:
        if (notification == BN_CLICKED)
            OutlineColorClick();
        return true;
    case IDC_SETTINGS_OUTLINEWIDTH:
        OutlineWidthCommand(notification);
        return true;
    case IDC_SETTINGS_SHADOW:
        if (notification == BN_CLICKED && !writingControls_)
            rules_.ShadowClicked(IsChecked(Control(IDC_SETTINGS_SHADOW)));
        return true;
    case IDOK:
    case IDCANCEL:
        // Enter and Escape: neither button is the default or the cancel button.
        return true;
    default:
        return false;
    }
}

bool SettingForm::OnMessage(UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_HSCROLL && reinterpret_cast<HWND>(lParam) == Control(IDC_SETTINGS_TRACKBAR1)) {
        TrackBar1Change();
        return true;
    }
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID != IDC_SETTINGS_OUTLINESWATCH)
            return false;
        DrawSwatch(*item);
        return true;
    }
    return false;
}

void SettingForm::Button2Click()
{
    ReadControls();
    const OkResult result = rules_.Ok();
    if (result.error)
        throw AppError(Ansi(*result.error));
    if (result.close)
        Close(IDOK);
}

void SettingForm::Button1Click()
{
    rules_.Cancel();
    Close(IDCANCEL);
}

void SettingForm::Button3Click()
{
    mainWindow_.ChangeLogBackground();
}

void SettingForm::TrackBar1Change()
{
    const int position =
        static_cast<int>(::SendMessageW(Control(IDC_SETTINGS_TRACKBAR1), TBM_GETPOS, 0, 0));
    if (position == rules_.Controls().transparency)
        return;
    rules_.TrackBarChanged(position);
    ::SetDlgItemTextW(Handle(), IDC_SETTINGS_TVALUE, Wide(rules_.Controls().transparencyText).c_str());
}

void SettingForm::OutlineColorClick()
{
    // The colours the user adds to the dialog stay for the run.
    static COLORREF customColours[16] = {};
    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Handle();
    dialog.rgbResult = ScreenColor(rules_.Controls().outlineColor);
    dialog.lpCustColors = customColours;
    dialog.Flags = CC_RGBINIT;
    if (!::ChooseColorW(&dialog))
        return;
    rules_.OutlineColorChosen(static_cast<Color>(dialog.rgbResult));
    ::InvalidateRect(Control(IDC_SETTINGS_OUTLINESWATCH), nullptr, FALSE);
}

void SettingForm::OutlineWidthCommand(int notification)
{
    if (writingControls_)
        return;
    HWND box = Control(IDC_SETTINGS_OUTLINEWIDTH);
    if (notification == EN_CHANGE) {
        rules_.OutlineWidthTyped(Utf16(ControlText(box)));
    } else if (notification == EN_KILLFOCUS) {
        // Text that is no width gives way to the width in force.
        rules_.OutlineWidthLeft();
        if (Utf16(ControlText(box)) != rules_.Controls().outlineWidth)
            ::SetWindowTextW(box, Wide(rules_.Controls().outlineWidth).c_str());
    }
}

void SettingForm::DrawSwatch(const DRAWITEMSTRUCT& item) const
{
    HBRUSH fill = ::CreateSolidBrush(ScreenColor(rules_.Controls().outlineColor));
    ::FillRect(item.hDC, &item.rcItem, fill);
    ::DeleteObject(fill);
    ::FrameRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNSHADOW));
}

bool SettingForm::Edit1KeyPress(wchar_t typed)
{
    return LetterCountKeyAccepted(static_cast<char16_t>(typed));
}

LRESULT CALLBACK SettingForm::Edit1Proc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR)
{
    if (message == WM_CHAR && !Edit1KeyPress(static_cast<wchar_t>(wParam)))
        return 0;
    if (message == WM_NCDESTROY)
        ::RemoveWindowSubclass(edit, &SettingForm::Edit1Proc, kEdit1SubclassId);
    return ::DefSubclassProc(edit, message, wParam, lParam);
}

void SettingForm::ReadControls()
{
    AdvancedSettingsControls& c = rules_.Controls();
    c.newLineBetweenTexts = IsChecked(Control(IDC_SETTINGS_CHECKBOX1));
    c.updateOriginalText = IsChecked(Control(IDC_SETTINGS_CHECKBOX2));
    c.floodDetection = IsChecked(Control(IDC_SETTINGS_CHECKBOX3));
    c.history = IsChecked(Control(IDC_SETTINGS_HISTORY));
    const LRESULT selected = ::SendMessageW(Control(IDC_SETTINGS_CSCOMBOBOX), CB_GETCURSEL, 0, 0);
    if (selected >= 0 && selected < kCharacterSetCount)
        c.characterSet = static_cast<int>(selected);
    else
        c.characterSet.reset();
    c.letterCount = Utf16(ControlText(Control(IDC_SETTINGS_EDIT1)));
}

void SettingForm::WriteControls()
{
    writingControls_ = true;
    const AdvancedSettingsControls& c = rules_.Controls();
    SetChecked(Control(IDC_SETTINGS_CHECKBOX1), c.newLineBetweenTexts);
    SetChecked(Control(IDC_SETTINGS_CHECKBOX2), c.updateOriginalText);
    SetChecked(Control(IDC_SETTINGS_CHECKBOX3), c.floodDetection);
    SetChecked(Control(IDC_SETTINGS_HISTORY), c.history);
    ::SendMessageW(Control(IDC_SETTINGS_CSCOMBOBOX), CB_SETCURSEL,
                   c.characterSet ? static_cast<WPARAM>(*c.characterSet) : static_cast<WPARAM>(-1), 0);
    ::SendMessageW(Control(IDC_SETTINGS_TRACKBAR1), TBM_SETPOS, TRUE, c.transparency);
    ::SetDlgItemTextW(Handle(), IDC_SETTINGS_TVALUE, Wide(c.transparencyText).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SETTINGS_EDIT1, Wide(c.letterCount).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SETTINGS_OUTLINEWIDTH, Wide(c.outlineWidth).c_str());
    SetChecked(Control(IDC_SETTINGS_SHADOW), c.shadow);
    ::InvalidateRect(Control(IDC_SETTINGS_OUTLINESWATCH), nullptr, FALSE);
    writingControls_ = false;
}

} // namespace kx::win32
