#pragma once
// Global hotkeys as the settings file writes them: «Ctrl+Alt+T».
// Modifiers come first (Ctrl, Alt, Shift, Win), then one key named as an
// English Windows names it (GetKeyNameText), e.g. «F9», «Page Up», «Num 5».
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// The modifier flags of RegisterHotKey (MOD_ALT, ...).
inline constexpr std::uint32_t kHotkeyAlt = 0x0001;
inline constexpr std::uint32_t kHotkeyCtrl = 0x0002;
inline constexpr std::uint32_t kHotkeyShift = 0x0004;
inline constexpr std::uint32_t kHotkeyWin = 0x0008;

struct Hotkey {
    std::uint32_t modifiers = 0;   // kHotkey* flags
    std::uint32_t virtualKey = 0;  // a Windows virtual-key code; 0 = no hotkey

    bool Empty() const { return virtualKey == 0; }
    bool operator==(const Hotkey&) const = default;
};

enum class HotkeyTextError {
    None,
    MissingKey,        // «Ctrl+Alt», «Ctrl+»: modifiers but no key
    UnknownKey,        // a key name the table does not hold
    RepeatedModifier,  // «Ctrl+Ctrl+T»
};

struct ParsedHotkey {
    Hotkey hotkey;  // Empty() for an empty text or an error
    HotkeyTextError error = HotkeyTextError::None;
    std::string problemName;  // the unknown key or the repeated modifier, as written

    bool Ok() const { return error == HotkeyTextError::None; }
};

// Case-insensitive; blanks around the '+' and at both ends do not count, nor
// do blanks inside a key name («PageUp» is «Page Up»). An empty text is no
// hotkey, not an error.
ParsedHotkey ParseHotkey(std::string_view text);

// «Ctrl+Alt+Shift+Win+Key»; "" for an empty hotkey or a key code the table
// does not name (ParseHotkey never gives one).
std::string HotkeyText(const Hotkey& hotkey);

// The log view's line for a hotkey setting that is not a hotkey:
// «Hotkey Ctrl+Foo (Translation) could not be read: "Foo" is not a key name.»
std::string HotkeyUnreadableLine(std::string_view setting, std::string_view text, const ParsedHotkey& parsed);

// The log view's line for a hotkey RegisterHotKey refused; `takenByAnother`
// when the system says another registration holds it.
std::string HotkeyUnregisteredLine(std::string_view setting, const Hotkey& hotkey, bool takenByAnother);

} // namespace kx
