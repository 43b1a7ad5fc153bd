// libFuzzer target for the settings file's readers. The first byte picks the
// reader, the rest is its input. Besides crashes and undefined behaviour it
// checks the properties each reader promises and aborts when one breaks.
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "settings/value_encodings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace kx;

namespace {

void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

// A name the program could use: the input's letters and digits only.
std::string NameFrom(std::string_view bytes, const char* fallback)
{
    std::string name;
    for (char c : bytes)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            name.push_back(c);
    return name.empty() ? fallback : name;
}

void FuzzIniFile(std::string_view input)
{
    IniFile file = IniFile::Parse(input);
    Require(file.Serialize() == input, "a parsed file serialises unchanged");

    // Input layout for the update: "<section>\x01<key>\x01<value>" at the end.
    const std::size_t split2 = input.rfind('\x01');
    const std::size_t split1 = split2 == std::string_view::npos || split2 == 0 ? std::string_view::npos
                                                                                 : input.rfind('\x01', split2 - 1);
    std::string section = "Setting", key = "Ancete";
    std::string_view value = input.substr(0, 64);
    if (split1 != std::string_view::npos) {
        section = NameFrom(input.substr(0, split1).substr(split1 > 16 ? split1 - 16 : 0), "Setting");
        key = NameFrom(input.substr(split1 + 1, split2 - split1 - 1), "Ancete");
        value = input.substr(split2 + 1);
    }
    const char* probes[][2] = {{"Setting", "Ancete"}, {"Setting", "TMainFont"}, {"Agth", "Agthpath"},
                               {"AgthSM0", "Notes"},  {"WindowsPos", "MainTop"}, {section.c_str(), "x"}};
    std::optional<std::string> before[std::size(probes)];
    for (std::size_t i = 0; i < std::size(probes); ++i)
        before[i] = file.Get(probes[i][0], probes[i][1]);

    file.Set(section, key, value);
    const std::string once = file.Serialize();
    const IniFile reread = IniFile::Parse(once);
    const std::string_view oneLine = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
    Require(reread.Get(section, key) == std::string(oneLine), "a key reads back as set");
    for (std::size_t i = 0; i < std::size(probes); ++i) {
        const bool sameKey = (IniFile::Parse("[" + section + "]\n" + key + "=1\n").Get(probes[i][0], probes[i][1]).has_value());
        if (!sameKey)
            Require(reread.Get(probes[i][0], probes[i][1]) == before[i], "other keys keep their values");
    }
    file.Set(section, key, value);
    Require(file.Serialize() == once, "setting the same value again changes nothing");
}

void FuzzInteger(std::string_view input)
{
    const auto value = ParseInteger(input);
    if (value)
        Require(ParseInteger(IntegerText(*value)) == value, "an integer reads back from its text");
    Require(ReadInteger(std::string(input), 12345) == value.value_or(12345), "default on failure");
}

void FuzzHexText(std::string_view input)
{
    const auto text = DecodeHexText(input);
    if (!text)
        return;
    Require(text->size() == input.size() / 4, "one unit per group");
    std::string upper(input.substr(0, text->size() * 4));
    for (char& c : upper)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    Require(EncodeHexText(*text) == upper, "hex text re-encodes to its groups");
}

void FuzzColorText(std::string_view input)
{
    const auto color = ParseColorText(input);
    if (color)
        Require(ParseColorText(ColorText(*color)) == color, "a colour reads back from its text");
}

void FuzzFontText(std::string_view input)
{
    const auto font = ParseFontText(input);
    if (font)
        Require(ParseFontText(FontText(*font)) == font, "a font reads back from its text");
}

void FuzzSettings(std::string_view input)
{
    // Whatever the file holds, once our values are written into it they read
    // back as written, and a second write changes nothing.
    IniFile file = IniFile::Parse(input);
    AppSettings settings;
    MainWindowState window = ReadSettings(file, settings, 0x00ABCDEF);
    WriteSettings(file, settings, window);
    const std::string written = file.Serialize();

    AppSettings again;
    const MainWindowState back = ReadSettings(IniFile::Parse(written), again, 0);
    Require(again == settings, "settings read back as written");
    Require(back.top == window.top && back.left == window.left && back.height == window.height &&
                back.width == window.width && back.alpha == window.alpha &&
                back.translationChecked == window.translationChecked &&
                back.alwaysOnTopChecked == window.alwaysOnTopChecked &&
                back.colorDialogColor == window.colorDialogColor && back.fontToApply == window.logViewFont,
            "window state reads back as written");
    IniFile second = IniFile::Parse(written);
    WriteSettings(second, again, back);
    Require(second.Serialize() == written, "a second save is byte-identical");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 6) {
    case 0: FuzzIniFile(input); break;
    case 1: FuzzInteger(input); break;
    case 2: FuzzHexText(input); break;
    case 3: FuzzColorText(input); break;
    case 4: FuzzFontText(input); break;
    default: FuzzSettings(input); break;
    }
    return 0;
}
