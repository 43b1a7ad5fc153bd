#pragma once
// The advanced settings dialog "Advanced Setting": copies its controls to and
// from the dialog's rules (settings/advanced_settings.h) and forwards their
// events. Created once at start-up, opened modally from the main window.
#include "platform/win32/ui/modal_dialog.h"
#include "settings/advanced_settings.h"
#include "settings/app_settings.h"

#include <windows.h>

namespace kx::win32 {

class SettingForm : public ModalDialog {
public:
    SettingForm(HINSTANCE instance, AppSettings& settings, AdvancedSettingsHost& mainWindow);

protected:
    void OnInit() override;
    void OnShow() override;
    bool OnCommand(int id, int notification) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static LRESULT CALLBACK Edit1Proc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR data);

    void FormShow();
    void Button2Click();
    void Button1Click();
    void Button3Click();
    void TrackBar1Change();
    void OutlineColorClick();
    void OutlineWidthCommand(int notification);
    void DrawSwatch(const DRAWITEMSTRUCT& item) const;
    // False when the typed character is dropped.
    static bool Edit1KeyPress(wchar_t typed);

    HWND Control(int id) const { return ::GetDlgItem(Handle(), id); }
    void ReadControls();
    void WriteControls();

    AdvancedSettingsHost& mainWindow_;
    AdvancedSettings rules_;
    // Set while WriteControls fills the controls: their change notices are
    // not the user's.
    bool writingControls_ = false;
};

} // namespace kx::win32
