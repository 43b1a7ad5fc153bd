#include "settings/win32/setting_form.h"

#include "settings/win32/settings_resource_ids.h"
#include "common/app_error.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"
#include "platform/win32/win32_code_pages.h"

#include <commctrl.h>

#include <string>

namespace kx::win32 {
namespace {

constexpr UINT_PTR kEdit1SubclassId = 1;

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
    // The layout is kept in pixels: a client area of 416 x 210.
    static constexpr ControlPlace kPlaces[] = {
        {IDC_SETTINGS_CHECKBOX1, 8, 8, 400, 17},    {IDC_SETTINGS_CHECKBOX2, 8, 29, 400, 17},
        {IDC_SETTINGS_LABEL1, 8, 56, 90, 13},       {IDC_SETTINGS_CSCOMBOBOX, 100, 52, 145, 221},
        {IDC_SETTINGS_LABEL2, 8, 86, 130, 13},      {IDC_SETTINGS_TVALUE, 138, 86, 50, 13},
        {IDC_SETTINGS_TRACKBAR1, 4, 104, 268, 30},  {IDC_SETTINGS_OFF, 12, 136, 30, 13},
        {IDC_SETTINGS_LABEL4, 44, 136, 30, 13},     {IDC_SETTINGS_LABEL3, 242, 136, 30, 13},
        {IDC_SETTINGS_BUTTON3, 272, 104, 136, 25},  {IDC_SETTINGS_CHECKBOX3, 8, 170, 160, 17},
        {IDC_SETTINGS_EDIT1, 170, 168, 40, 21},     {IDC_SETTINGS_LABEL5, 216, 172, 40, 13},
        {IDC_SETTINGS_BUTTON2, 333, 150, 75, 25},   {IDC_SETTINGS_BUTTON1, 333, 179, 75, 25},
    };
    LayOutDialog(Handle(), 416, 210, kPlaces);

    HWND list = Control(IDC_SETTINGS_CSCOMBOBOX);
    for (const CharacterSet& set : CharacterSets())
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(set.name).c_str()));

    HWND trackBar = Control(IDC_SETTINGS_TRACKBAR1);
    ::SendMessageW(trackBar, TBM_SETRANGE, FALSE, MAKELPARAM(0, kTransparencyMax));
    ::SendMessageW(trackBar, TBM_SETTICFREQ, 5, 0);
    ::SendMessageW(trackBar, TBM_SETPOS, TRUE, 0);

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
    const LRESULT selected = ::SendMessageW(Control(IDC_SETTINGS_CSCOMBOBOX), CB_GETCURSEL, 0, 0);
    if (selected >= 0 && selected < kCharacterSetCount)
        c.characterSet = static_cast<int>(selected);
    else
        c.characterSet.reset();
    c.letterCount = Utf16(ControlText(Control(IDC_SETTINGS_EDIT1)));
}

void SettingForm::WriteControls()
{
    const AdvancedSettingsControls& c = rules_.Controls();
    SetChecked(Control(IDC_SETTINGS_CHECKBOX1), c.newLineBetweenTexts);
    SetChecked(Control(IDC_SETTINGS_CHECKBOX2), c.updateOriginalText);
    SetChecked(Control(IDC_SETTINGS_CHECKBOX3), c.floodDetection);
    ::SendMessageW(Control(IDC_SETTINGS_CSCOMBOBOX), CB_SETCURSEL,
                   c.characterSet ? static_cast<WPARAM>(*c.characterSet) : static_cast<WPARAM>(-1), 0);
    ::SendMessageW(Control(IDC_SETTINGS_TRACKBAR1), TBM_SETPOS, TRUE, c.transparency);
    ::SetDlgItemTextW(Handle(), IDC_SETTINGS_TVALUE, Wide(c.transparencyText).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SETTINGS_EDIT1, Wide(c.letterCount).c_str());
}

} // namespace kx::win32
