// Program entry: one instance only, the four windows in their order, and the
// message loop until the main window has closed.
#include "agth/win32/agth_help_form.h"
#include "app/program_title.h"
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "app/win32/secondary_windows.h"
#include "platform/win32/win32_system.h"
#include "settings/app_settings.h"
#include "settings/win32/setting_form.h"

#include <commctrl.h>
#include <windows.h>

namespace {

constexpr char kInstanceMutexName[] = "Kestrune";

// Creates the instance mutex, held until the process ends (the system
// releases it); false when another instance has it. One call, so that of two
// starts at the same moment only one goes on.
bool FirstInstance()
{
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, kInstanceMutexName);
    const DWORD error = ::GetLastError();
    if (mutex && error != ERROR_ALREADY_EXISTS)
        return true;
    if (mutex)
        ::CloseHandle(mutex);
    // Not even opened (another user's instance in this session): not ours to start.
    return false;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    kx::win32::SearchDllsInKnownFoldersOnly();
    if (!FirstInstance())
        return 0;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_LINK_CLASS};
    ::InitCommonControlsEx(&controls);

    kx::AppSettings settings;
    kx::win32::MainWindow mainForm(instance, settings);
    if (!mainForm.Create())
        return 1;
    kx::win32::SettingForm settingForm(instance, settings, mainForm);
    kx::win32::AboutForm aboutForm(instance);
    kx::win32::AgthHelpForm agthHelpForm(instance, settings, mainForm, mainForm);
    settingForm.Create(mainForm.Handle());
    aboutForm.Create(mainForm.Handle());
    agthHelpForm.Create(mainForm.Handle());
    aboutForm.SetTitle(mainForm.ProgramTitle());
    mainForm.SetSecondaryWindows(&settingForm, &aboutForm, &agthHelpForm);
    mainForm.Show(showCommand);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (mainForm.TranslateShortcut(msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
