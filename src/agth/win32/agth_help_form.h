#pragma once
// The AGTH helper window "AGTH helper": the AGTH path, the "Attach process"
// tab (process grid, option box, get-text choice), the "Shortcut Manager" tab
// (ShortcutPage) and the start-up switch.
// Copies its controls to and from the helper's rules (agth/agth_helper.h) and
// forwards their events. Created once at start-up, opened modally from the
// main window.
#include "agth/agth_helper.h"
#include "agth/win32/shortcut_page.h"
#include "platform/win32/ui/modal_dialog.h"
#include "platform/win32/win32_code_pages.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_prompts.h"
#include "settings/app_settings.h"
#include "capture/capture_pause.h"

#include <windows.h>

namespace kx::win32 {

class AgthHelpForm : public ModalDialog {
public:
    AgthHelpForm(HINSTANCE instance, AppSettings& settings, AgthHelperHost& mainWindow,
                 CapturePauseHost& capturePause);

protected:
    void OnInit() override;
    void OnShow() override;
    void OnClosing() override;
    bool OnCommand(int id, int notification) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void FormShow();
    void BrowBtnClick();
    void RefreshBtnClick();
    void AttachAgth(bool withoutOptions);
    void OptionBoxExit();
    void GetTextChoiceClick(int method);
    void CheckBox1Click();
    void TabsChange();

    HWND Control(int id) const { return ::GetDlgItem(Handle(), id); }
    void CentreOnDesktop();
    void ReadControls();
    void WriteControls();
    void WriteProcessGrid();
    void WriteOptionBox();

    Win32ProcessSnapshot snapshot_;
    Win32ProgramLauncher launcher_;
    Win32Prompts prompts_;
    Win32CodePages codePages_;
    AgthHelper rules_;
    ShortcutPage shortcuts_;
};

} // namespace kx::win32
