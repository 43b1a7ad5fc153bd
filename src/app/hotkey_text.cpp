#include "app/hotkey_text.h"

#include <array>

namespace kx {
namespace {

struct KeyName {
    std::uint32_t virtualKey;
    std::string_view name;  // the first name of a key is the one written
};

// The names an English Windows gives (GetKeyNameText, extended keys with
// their own names), then a few other common spellings.
constexpr KeyName kNamedKeys[] = {
    {0x08, "Backspace"}, {0x09, "Tab"},         {0x0D, "Enter"},      {0x0D, "Return"},
    {0x13, "Pause"},     {0x14, "Caps Lock"},   {0x1B, "Esc"},        {0x1B, "Escape"},
    {0x20, "Space"},     {0x21, "Page Up"},     {0x21, "PgUp"},       {0x22, "Page Down"},
    {0x22, "PgDn"},      {0x23, "End"},         {0x24, "Home"},       {0x25, "Left"},
    {0x26, "Up"},        {0x27, "Right"},       {0x28, "Down"},       {0x2C, "Prnt Scrn"},
    {0x2C, "Print Screen"}, {0x2D, "Insert"},   {0x2D, "Ins"},        {0x2E, "Delete"},
    {0x2E, "Del"},       {0x6A, "Num *"},       {0x6B, "Num +"},      {0x6D, "Num -"},
    {0x6E, "Num Del"},   {0x6E, "Num ."},       {0x6F, "Num /"},      {0x90, "Num Lock"},
    {0x91, "Scroll Lock"}, {0xBA, ";"},         {0xBB, "="},          {0xBC, ","},
    {0xBD, "-"},         {0xBE, "."},           {0xBF, "/"},          {0xC0, "`"},
    {0xDB, "["},         {0xDC, "\\"},          {0xDD, "]"},          {0xDE, "'"},
};

constexpr std::uint32_t kVkDigit0 = 0x30, kVkLetterA = 0x41, kVkNumpad0 = 0x60, kVkF1 = 0x70;
constexpr int kFunctionKeys = 24;

struct ModifierName {
    std::uint32_t flag;
    std::string_view name;  // the first name of a flag is the one written
};

constexpr std::array<ModifierName, 6> kModifiers{{
    {kHotkeyCtrl, "Ctrl"},
    {kHotkeyAlt, "Alt"},
    {kHotkeyShift, "Shift"},
    {kHotkeyWin, "Win"},
    {kHotkeyCtrl, "Control"},
    {kHotkeyWin, "Windows"},
}};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Lower case without blanks: the form names are compared in.
std::string Folded(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (!IsBlank(c))
            out.push_back(Lower(c));
    return out;
}

bool StartsWithFolded(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i]))
            return false;
    return true;
}

const ModifierName* ModifierNamed(std::string_view folded)
{
    for (const ModifierName& m : kModifiers)
        if (Folded(m.name) == folded)
            return &m;
    return nullptr;
}

std::string_view WrittenModifierName(std::uint32_t flag)
{
    for (const ModifierName& m : kModifiers)
        if (m.flag == flag)
            return m.name;
    return {};
}

// 0 when the name is no key of the table.
std::uint32_t KeyCodeNamed(std::string_view name)
{
    const std::string folded = Folded(name);
    if (folded.size() == 1 && folded[0] >= 'a' && folded[0] <= 'z')
        return kVkLetterA + static_cast<std::uint32_t>(folded[0] - 'a');
    if (folded.size() == 1 && folded[0] >= '0' && folded[0] <= '9')
        return kVkDigit0 + static_cast<std::uint32_t>(folded[0] - '0');
    if (folded.size() == 4 && folded.starts_with("num") && folded[3] >= '0' && folded[3] <= '9')
        return kVkNumpad0 + static_cast<std::uint32_t>(folded[3] - '0');
    if (folded.size() >= 2 && folded.size() <= 3 && folded[0] == 'f' && folded[1] >= '1' && folded[1] <= '9') {
        int number = folded[1] - '0';
        if (folded.size() == 3) {
            if (folded[2] < '0' || folded[2] > '9')
                return 0;
            number = number * 10 + (folded[2] - '0');
        }
        return number <= kFunctionKeys ? kVkF1 + static_cast<std::uint32_t>(number - 1) : 0;
    }
    for (const KeyName& key : kNamedKeys)
        if (Folded(key.name) == folded)
            return key.virtualKey;
    return 0;
}

std::string KeyNameOf(std::uint32_t code)
{
    if (code >= kVkLetterA && code < kVkLetterA + 26)
        return std::string(1, static_cast<char>('A' + (code - kVkLetterA)));
    if (code >= kVkDigit0 && code < kVkDigit0 + 10)
        return std::string(1, static_cast<char>('0' + (code - kVkDigit0)));
    if (code >= kVkNumpad0 && code < kVkNumpad0 + 10)
        return "Num " + std::string(1, static_cast<char>('0' + (code - kVkNumpad0)));
    if (code >= kVkF1 && code < kVkF1 + kFunctionKeys)
        return "F" + std::to_string(code - kVkF1 + 1);
    for (const KeyName& key : kNamedKeys)
        if (key.virtualKey == code)
            return std::string(key.name);
    return {};
}

} // namespace

ParsedHotkey ParseHotkey(std::string_view text)
{
    ParsedHotkey parsed;
    std::string_view rest = Trimmed(text);
    if (rest.empty())
        return parsed;

    std::uint32_t modifiers = 0;
    // A modifier counts as one only when a '+' follows it: «Num +» is a key.
    for (bool more = true; more;) {
        more = false;
        for (const ModifierName& m : kModifiers) {
            if (!StartsWithFolded(rest, m.name))
                continue;
            std::string_view after = rest.substr(m.name.size());
            while (!after.empty() && IsBlank(after.front()))
                after.remove_prefix(1);
            if (after.empty() || after.front() != '+')
                continue;
            if (modifiers & m.flag) {
                parsed.error = HotkeyTextError::RepeatedModifier;
                parsed.problemName = std::string(WrittenModifierName(m.flag));
                return parsed;
            }
            modifiers |= m.flag;
            rest = Trimmed(after.substr(1));
            more = true;
            break;
        }
    }

    if (rest.empty() || ModifierNamed(Folded(rest))) {
        parsed.error = HotkeyTextError::MissingKey;
        return parsed;
    }
    const std::uint32_t code = KeyCodeNamed(rest);
    if (code == 0) {
        parsed.error = HotkeyTextError::UnknownKey;
        parsed.problemName = std::string(rest);
        return parsed;
    }
    parsed.hotkey = Hotkey{modifiers, code};
    return parsed;
}

std::string HotkeyText(const Hotkey& hotkey)
{
    const std::string key = KeyNameOf(hotkey.virtualKey);
    if (hotkey.Empty() || key.empty())
        return {};
    std::string text;
    for (std::uint32_t flag : {kHotkeyCtrl, kHotkeyAlt, kHotkeyShift, kHotkeyWin})
        if (hotkey.modifiers & flag)
            text.append(WrittenModifierName(flag)).push_back('+');
    return text + key;
}

std::string HotkeyUnreadableLine(std::string_view setting, std::string_view text, const ParsedHotkey& parsed)
{
    std::string why;
    switch (parsed.error) {
    case HotkeyTextError::MissingKey:
        why = "there is no key after the modifiers.";
        break;
    case HotkeyTextError::UnknownKey:
        why = "\"" + parsed.problemName + "\" is not a key name.";
        break;
    case HotkeyTextError::RepeatedModifier:
        why = parsed.problemName + " is written twice.";
        break;
    case HotkeyTextError::None:
        return {};
    }
    return "Hotkey " + std::string(Trimmed(text)) + " (" + std::string(setting) + ") could not be read: " + why;
}

std::string HotkeyUnregisteredLine(std::string_view setting, const Hotkey& hotkey, bool takenByAnother)
{
    return "Hotkey " + HotkeyText(hotkey) + " (" + std::string(setting) + ") could not be registered: " +
           (takenByAnother ? "another program uses it." : "Windows refused it.");
}

} // namespace kx
