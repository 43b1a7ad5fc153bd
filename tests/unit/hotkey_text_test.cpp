#include "app/hotkey_text.h"

#include <gtest/gtest.h>

using namespace kx;

namespace {

Hotkey Parsed(std::string_view text)
{
    const ParsedHotkey parsed = ParseHotkey(text);
    EXPECT_TRUE(parsed.Ok()) << text;
    return parsed.hotkey;
}

TEST(HotkeyTextTest, KeysAndModifiersGiveTheVirtualKeyCodes)
{
    struct Case {
        const char* text;
        Hotkey expected;
    };
    const Case cases[] = {
        {"Ctrl+Alt+T", {kHotkeyCtrl | kHotkeyAlt, 0x54}},
        {"Ctrl+Shift+F9", {kHotkeyCtrl | kHotkeyShift, 0x78}},
        {"Win+F24", {kHotkeyWin, 0x87}},
        {"Alt+F1", {kHotkeyAlt, 0x70}},
        {"F12", {0, 0x7B}},
        {"Ctrl+0", {kHotkeyCtrl, 0x30}},
        {"Alt+Num 7", {kHotkeyAlt, 0x67}},
        {"Ctrl+Num +", {kHotkeyCtrl, 0x6B}},
        {"Ctrl+Space", {kHotkeyCtrl, 0x20}},
        {"Ctrl+Page Up", {kHotkeyCtrl, 0x21}},
        {"Ctrl+Page Down", {kHotkeyCtrl, 0x22}},
        {"Shift+Home", {kHotkeyShift, 0x24}},
        {"Shift+End", {kHotkeyShift, 0x23}},
        {"Ctrl+Insert", {kHotkeyCtrl, 0x2D}},
        {"Ctrl+Delete", {kHotkeyCtrl, 0x2E}},
        {"Ctrl+Left", {kHotkeyCtrl, 0x25}},
        {"Ctrl+Up", {kHotkeyCtrl, 0x26}},
        {"Ctrl+Right", {kHotkeyCtrl, 0x27}},
        {"Ctrl+Down", {kHotkeyCtrl, 0x28}},
        {"Ctrl+Alt+Shift+Win+A", {kHotkeyCtrl | kHotkeyAlt | kHotkeyShift | kHotkeyWin, 0x41}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Parsed(c.text), c.expected) << c.text;
}

TEST(HotkeyTextTest, EveryWrittenHotkeyReadsBackAsItself)
{
    int named = 0;
    for (std::uint32_t key = 1; key < 0x100; ++key) {
        for (std::uint32_t modifiers : {0u, kHotkeyCtrl | kHotkeyAlt, kHotkeyShift | kHotkeyWin, 15u}) {
            const Hotkey hotkey{modifiers, key};
            const std::string text = HotkeyText(hotkey);
            if (text.empty())
                continue;
            ++named;
            EXPECT_EQ(Parsed(text), hotkey) << text;
            EXPECT_EQ(HotkeyText(Parsed(text)), text);
        }
    }
    // Letters, digits, F1-F24, Num 0-9 and the named keys, with each set of modifiers.
    EXPECT_GT(named, 4 * (26 + 10 + 24 + 10 + 20));
}

TEST(HotkeyTextTest, WrittenInTheOneOrderWithWindowsNames)
{
    EXPECT_EQ(HotkeyText(Parsed("shift + win + ALT + control + t")), "Ctrl+Alt+Shift+Win+T");
    EXPECT_EQ(HotkeyText(Parsed("Windows+pageup")), "Win+Page Up");
    EXPECT_EQ(HotkeyText(Parsed("ctrl+PgDn")), "Ctrl+Page Down");
    EXPECT_EQ(HotkeyText(Parsed("ctrl+num5")), "Ctrl+Num 5");
    EXPECT_EQ(HotkeyText(Parsed("Alt+escape")), "Alt+Esc");
    EXPECT_EQ(HotkeyText(Parsed("Alt+del")), "Alt+Delete");
    EXPECT_EQ(HotkeyText(Hotkey{}), "");
    EXPECT_EQ(HotkeyText(Hotkey{kHotkeyCtrl, 0}), "");
    EXPECT_EQ(HotkeyText(Hotkey{kHotkeyCtrl, 0xFF}), "");  // no name: never written as something else
}

TEST(HotkeyTextTest, CaseAndBlanksDoNotCount)
{
    const Hotkey expected{kHotkeyCtrl | kHotkeyAlt, 0x54};
    for (const char* text : {"ctrl+alt+t", "CTRL+ALT+T", " Ctrl + Alt + T ", "Ctrl\t+Alt+\tT", "cTrL  +aLt+ t"})
        EXPECT_EQ(Parsed(text), expected) << text;
    EXPECT_EQ(Parsed("Ctrl + Num +"), (Hotkey{kHotkeyCtrl, 0x6B}));
    EXPECT_EQ(Parsed("ctrl+page   up"), (Hotkey{kHotkeyCtrl, 0x21}));
}

TEST(HotkeyTextTest, EmptyTextIsNoHotkeyAndNoError)
{
    for (const char* text : {"", " ", "\t "}) {
        const ParsedHotkey parsed = ParseHotkey(text);
        EXPECT_TRUE(parsed.Ok()) << '"' << text << '"';
        EXPECT_TRUE(parsed.hotkey.Empty());
    }
}

TEST(HotkeyTextTest, TextsThatAreNoHotkeyTellWhy)
{
    struct Case {
        const char* text;
        HotkeyTextError error;
        const char* problemName;
    };
    const Case cases[] = {
        {"Ctrl+Alt", HotkeyTextError::MissingKey, ""},
        {"Ctrl", HotkeyTextError::MissingKey, ""},
        {"Ctrl+", HotkeyTextError::MissingKey, ""},
        {"Ctrl + Alt + ", HotkeyTextError::MissingKey, ""},
        {"Win+Windows+X", HotkeyTextError::RepeatedModifier, "Win"},
        {"Ctrl+ctrl+T", HotkeyTextError::RepeatedModifier, "Ctrl"},
        {"Control+Alt+Ctrl+T", HotkeyTextError::RepeatedModifier, "Ctrl"},
        {"Ctrl+Foo", HotkeyTextError::UnknownKey, "Foo"},
        {"Ctrl+Alt+T+Y", HotkeyTextError::UnknownKey, "T+Y"},
        {"Ctrl+F25", HotkeyTextError::UnknownKey, "F25"},
        {"Ctrl+F0", HotkeyTextError::UnknownKey, "F0"},
        {"Ctrl+Num 10", HotkeyTextError::UnknownKey, "Num 10"},
        {"Ctrl+TT", HotkeyTextError::UnknownKey, "TT"},
        {"Ctrl++", HotkeyTextError::UnknownKey, "+"},
        {"Hyper+T", HotkeyTextError::UnknownKey, "Hyper+T"},
        {"Ctrl+\xE3\x81\x82", HotkeyTextError::UnknownKey, "\xE3\x81\x82"},
    };
    for (const Case& c : cases) {
        const ParsedHotkey parsed = ParseHotkey(c.text);
        EXPECT_EQ(parsed.error, c.error) << c.text;
        EXPECT_EQ(parsed.problemName, c.problemName) << c.text;
        EXPECT_TRUE(parsed.hotkey.Empty()) << c.text;
    }
}

TEST(HotkeyTextTest, LogLinesNameTheHotkeyAndItsSetting)
{
    EXPECT_EQ(HotkeyUnregisteredLine("Translation", Parsed("ctrl+alt+t"), true),
              "Hotkey Ctrl+Alt+T (Translation) could not be registered: another program uses it.");
    EXPECT_EQ(HotkeyUnregisteredLine("ShowHide", Parsed("F12"), false),
              "Hotkey F12 (ShowHide) could not be registered: Windows refused it.");
    EXPECT_EQ(HotkeyUnreadableLine("Subtitle", " Ctrl+Foo ", ParseHotkey(" Ctrl+Foo ")),
              "Hotkey Ctrl+Foo (Subtitle) could not be read: \"Foo\" is not a key name.");
    EXPECT_EQ(HotkeyUnreadableLine("Monitoring", "Ctrl+Alt", ParseHotkey("Ctrl+Alt")),
              "Hotkey Ctrl+Alt (Monitoring) could not be read: there is no key after the modifiers.");
    EXPECT_EQ(HotkeyUnreadableLine("ClickThrough", "alt+Alt+C", ParseHotkey("alt+Alt+C")),
              "Hotkey alt+Alt+C (ClickThrough) could not be read: Alt is written twice.");
    EXPECT_EQ(HotkeyUnreadableLine("Monitoring", "Ctrl+M", ParseHotkey("Ctrl+M")), "");
}

} // namespace
