// Load and save of a settings file with all 100 shortcut rows filled (notes
// of 500 characters): our loader against the same keys read one by one with
// GetPrivateProfileStringA (2048-byte buffer), and our saver against the same
// keys written one by one with WritePrivateProfileStringA.
//   wine settings_bench.exe [repetitions]
#include "platform/win32/win32_code_pages.h"
#include "platform/win32/win32_prompts.h"
#include "platform/win32/win32_text_files.h"
#include "settings/settings_file.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace kx;
using Clock = std::chrono::steady_clock;

namespace {

std::u16string Text(std::mt19937& random, std::size_t length)
{
    std::u16string text;
    for (std::size_t i = 0; i < length; ++i)
        text.push_back(static_cast<char16_t>(random() % 4 ? u'a' + random() % 26 : 0xAC00 + random() % 11172));
    return text;
}

AppSettings FullSettings()
{
    std::mt19937 random(1);
    AppSettings settings;
    settings.Agthpath = u"C:\\Program Files\\AGTH\\agth.exe";
    settings.AgthAToption = "/H1,/KF,,,,,,,,";
    for (auto& row : settings.ShortcutTable) {
        row.GName = EncodeHexText(Text(random, 24));
        std::u16string gamePath = u"C:\\Games\\";
        gamePath.append(Text(random, 40)).append(u"\\game.exe");
        row.APath = EncodeHexText(gamePath);
        row.AOption = EncodeHexText(u"/HSN-4@4E1C0");
        row.TDelay = "10";
        row.Notes = EncodeHexText(Text(random, 500));
        row.GTMethod.assign(1, '2');
    }
    return settings;
}

// Every key in the order LoadSettings reads it (and SaveSettings writes it).
struct Key {
    std::string section;
    std::string name;
};
std::vector<Key> LoadOrder()
{
    std::vector<Key> keys = {{"Setting", "Ancete"},      {"Setting", "uot"},         {"Setting", "Codepage"},
                             {"Setting", "Flood"},       {"Setting", "FloodChk"},    {"WindowsPos", "MainTop"},
                             {"WindowsPos", "MainLeft"}, {"WindowsPos", "MainHeight"}, {"WindowsPos", "MainWidth"},
                             {"Setting", "TBgColor"},    {"WindowsTransparent", "MainABV"},
                             {"MainMenu", "Translation"}, {"MainMenu", "Aot"},       {"Agth", "Agthpath"},
                             {"Agth", "AgthAToption"},   {"Agth", "AgthATrun"}};
    for (int row = 0; row < kShortcutRows; ++row)
        for (const char* name : {"GName", "APath", "AOption", "TDelay", "Notes", "GTMethod"})
            keys.push_back({"AgthSM" + std::to_string(row), name});
    keys.push_back({"Setting", "TMainFont"});
    return keys;
}

template <typename Body> double MillisecondsPerRun(int repetitions, Body body)
{
    body(-1);   // warm-up
    const auto start = Clock::now();
    for (int i = 0; i < repetitions; ++i)
        body(i);
    const std::chrono::duration<double, std::milli> spent = Clock::now() - start;
    return spent.count() / repetitions;
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "kx-settings-bench-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\KestruneEX.ini";
    const std::string profilePath = folder + "\\Profile.ini";

    win32::Win32TextFiles files;
    win32::Win32Prompts prompts;
    win32::Win32CodePages codePages;
    SettingsFile file{path, files, prompts, codePages};
    const AppSettings full = FullSettings();
    MainWindowState window;
    if (!SaveSettings(file, full, window))
        return 1;
    const std::size_t fileSize = files.ReadWholeFile(path).bytes.size();
    const std::vector<Key> keys = LoadOrder();

    // Loads.
    AppSettings loaded;
    const double ourLoad = MillisecondsPerRun(repetitions, [&](int) { LoadSettings(file, loaded, kClWindow); });
    if (!(loaded == full))
        return 2;
    std::vector<char> buffer(2048);
    std::size_t characters = 0;
    const double profileLoad = MillisecondsPerRun(repetitions, [&](int) {
        characters = 0;
        for (const Key& key : keys)
            characters += ::GetPrivateProfileStringA(key.section.c_str(), key.name.c_str(), "", buffer.data(),
                                                     static_cast<DWORD>(buffer.size()), path.c_str());
    });

    // Saves: each run changes one value, so each run writes the file.
    AppSettings changing = full;
    const double ourSave = MillisecondsPerRun(repetitions, [&](int i) {
        changing.Flood = 1000 + i;
        SaveSettings(file, changing, window);
    });
    IniFile stored = IniFile::Parse(files.ReadWholeFile(path).bytes);
    const int profileRepetitions = std::max(1, repetitions / 10);
    const double profileSave = MillisecondsPerRun(profileRepetitions, [&](int i) {
        ::DeleteFileA(profilePath.c_str());
        for (const Key& key : keys) {
            std::string value = key.name == "Flood" ? std::to_string(2000 + i) : stored.Get(key.section, key.name).value_or("");
            ::WritePrivateProfileStringA(key.section.c_str(), key.name.c_str(), value.c_str(), profilePath.c_str());
        }
        ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, profilePath.c_str());   // flush
    });

    std::printf("settings file: %zu bytes, %zu keys, %d runs (profile writes: %d runs)\n", fileSize, keys.size(),
                repetitions, profileRepetitions);
    std::printf("load, LoadSettings (read whole file, parse, decode):  %9.3f ms\n", ourLoad);
    std::printf("load, GetPrivateProfileStringA key by key:            %9.3f ms  (%zu characters)\n", profileLoad,
                characters);
    std::printf("load ratio, profile functions / ours:                 %9.2f\n", profileLoad / ourLoad);
    std::printf("save, SaveSettings (re-read, update, atomic replace): %9.3f ms\n", ourSave);
    std::printf("save, WritePrivateProfileStringA key by key:          %9.3f ms\n", profileSave);
    std::printf("save ratio, profile functions / ours:                 %9.2f\n", profileSave / ourSave);

    ::DeleteFileA(path.c_str());
    ::DeleteFileA(profilePath.c_str());
    ::RemoveDirectoryA(folder.c_str());
    return 0;
}
