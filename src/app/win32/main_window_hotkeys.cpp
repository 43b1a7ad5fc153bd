// The main window's global hotkeys.
#include "app/win32/main_window.h"

#include "app/hotkey_text.h"

namespace kx::win32 {
namespace {

enum HotkeyId : int {
    kMonitoringHotkey = 1,
    kTranslationHotkey,
    kSubtitleHotkey,
    kClickThroughHotkey,
    kShowHideHotkey,
    kRetranslateHotkey,
    kHideUntilNextHotkey,
};

struct HotkeyBinding {
    HotkeyId id;
    const char* setting;  // its key in the "Hotkeys" section
    std::string HotkeySettings::*text;
};

constexpr HotkeyBinding kHotkeyBindings[] = {
    {kMonitoringHotkey, "Monitoring", &HotkeySettings::Monitoring},
    {kTranslationHotkey, "Translation", &HotkeySettings::Translation},
    {kSubtitleHotkey, "Subtitle", &HotkeySettings::Subtitle},
    {kClickThroughHotkey, "ClickThrough", &HotkeySettings::ClickThrough},
    {kShowHideHotkey, "ShowHide", &HotkeySettings::ShowHide},
    {kRetranslateHotkey, "Retranslate", &HotkeySettings::Retranslate},
    {kHideUntilNextHotkey, "HideUntilNext", &HotkeySettings::HideUntilNext},
};

} // namespace

// Each hotkey on its own: one that does not read or is held by another
// program is told in the log view and the others still work.
void MainWindow::RegisterHotkeys()
{
    for (const HotkeyBinding& binding : kHotkeyBindings) {
        const std::string& text = settings_.Hotkeys.*binding.text;
        const ParsedHotkey parsed = ParseHotkey(text);
        if (!parsed.Ok()) {
            capture_->Pipeline().AddProgramLine(codePages_.ToWide(HotkeyUnreadableLine(binding.setting, text, parsed), CP_ACP));
            continue;
        }
        if (parsed.hotkey.Empty())
            continue;
        // Held down, a hotkey toggles once.
        if (::RegisterHotKey(window_, binding.id, parsed.hotkey.modifiers | MOD_NOREPEAT, parsed.hotkey.virtualKey)) {
            registeredHotkeys_.push_back(binding.id);
            continue;
        }
        const bool taken = ::GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED;
        capture_->Pipeline().AddProgramLine(codePages_.ToWide(HotkeyUnregisteredLine(binding.setting, parsed.hotkey, taken), CP_ACP));
    }
}

void MainWindow::UnregisterHotkeys()
{
    for (int id : registeredHotkeys_)
        ::UnregisterHotKey(window_, id);
    registeredHotkeys_.clear();
}

void MainWindow::OnHotkey(int id)
{
    // While a dialog or a box of ours is open, the program waits for it, as
    // the menu's shortcut keys do.
    if (!::IsWindowEnabled(window_))
        return;
    switch (id) {
    case kMonitoringHotkey:
        ClipboardMonitoring1Click();
        break;
    case kTranslationHotkey:
        // Nothing when the engine failed, as with F6.
        ranslation1Click();
        break;
    case kSubtitleHotkey:
        TntMemo1DblClick();
        break;
    case kClickThroughHotkey:
        ClickThrough1Click();
        break;
    case kShowHideHotkey:
        ShowHideHotkeyPressed();
        break;
    case kRetranslateHotkey:
        if (const std::optional<CapturePipeline::LineInView> newest = capture_->Pipeline().NewestCapturedLine())
            TranslateAgain(*newest);
        break;
    case kHideUntilNextHotkey:
        HideUntilNextHotkeyPressed();
        break;
    default:
        break;
    }
}

void MainWindow::ClickThrough1Click()
{
    if (model_.ToggleClickThrough())
        frame_.SetClickThrough(model_.ClickThrough());
}

void MainWindow::ShowHideHotkeyPressed()
{
    // Shown again without taking the keyboard from the game.
    if (!::IsWindowVisible(window_))
        ::ShowWindow(window_, SW_SHOWNA);
    else if (::IsIconic(window_))
        ::ShowWindow(window_, SW_SHOWNOACTIVATE);
    else
        ::ShowWindow(window_, SW_HIDE);
}

// Out of the way of a choice or a picture the game shows, until the game
// shows its next line; pressed again, back at once.
void MainWindow::HideUntilNextHotkeyPressed()
{
    if (hiddenUntilNext_) {
        CapturedLineShown();
        return;
    }
    if (!::IsWindowVisible(window_))
        return;
    ::ShowWindow(window_, SW_HIDE);
    hiddenUntilNext_ = true;
}

void MainWindow::CapturedLineShown()
{
    if (!std::exchange(hiddenUntilNext_, false))
        return;
    ::ShowWindow(window_, SW_SHOWNA);  // without taking the keyboard from the game
}

} // namespace kx::win32
