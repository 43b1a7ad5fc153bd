#pragma once
// The AGTH helper's "Shortcut Manager" tab: the game list with its small
// shell icons, the editors, New/Delete/Apply/Run and in-place renaming. Copies
// its controls to and from the shortcut manager's rules
// (agth/shortcut_manager.h). The helper window owns it and forwards the tab's
// messages.
#include "agth/shortcut_manager.h"
#include "platform/win32/win32_code_pages.h"
#include "platform/win32/win32_file_probe.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_prompts.h"

#include <windows.h>
#include <commctrl.h>

namespace kx::win32 {

class ShortcutPage {
public:
    ShortcutPage(AppSettings& settings, AgthHelperHost& methodHost, CapturePauseHost& pauseHost,
                 Win32Prompts& prompts, Win32CodePages& codePages, Win32ProgramLauncher& launcher);
    ~ShortcutPage();
    ShortcutPage(const ShortcutPage&) = delete;
    ShortcutPage& operator=(const ShortcutPage&) = delete;

    // The helper window has been created: controls set up, list loaded.
    void Created(HWND dialog);
    void Show(bool visible);
    // Every closing of the helper window.
    void Save();

    // The tab's commands and notifications; `close` is set when the helper
    // window should close (a game was started). True when handled.
    bool Command(int id, int notification, bool& close);
    bool Notify(const NMHDR& header, bool& close);

private:
    HWND Control(int id) const { return ::GetDlgItem(dialog_, id); }
    void ReadEditors();
    void WriteEditors();
    void WriteList();
    void SetLargeIcon(const std::u16string& path);
    void AddSmallIcon(const std::u16string& path);
    bool Run();
    // Runs a change of the rules, then shows the list and the editors as the
    // rules hold them, also when the change throws (a stored delay or method
    // that is no number); the error then goes on to the error box.
    template <class Change>
    void Mirrored(Change change);
    void Select();
    void NewClick();
    void DeleteClick();
    void ApplyClick();
    void AppPathClick();

    Win32CodePages& codePages_;
    Win32FileProbe files_;
    ShortcutManager rules_;
    HWND dialog_ = nullptr;
    HIMAGELIST images_ = nullptr;
    HICON largeIcon_ = nullptr;
    HWND tooltip_ = nullptr;
    bool writing_ = false;
};

} // namespace kx::win32
