// The settings file under Wine: what our code writes reads back the same
// through GetPrivateProfileStringA, and a save that cannot write tells the
// user once, keeps the old file and returns.
#include "platform/win32/win32_code_pages.h"
#include "platform/win32/win32_text_files.h"
#include "settings/settings_file.h"
#include "wine_paths.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace kx;
using kx::testing::ScratchFolder;

namespace {

class RecordingPrompts : public PromptsPort {
public:
    std::vector<std::u16string> errors;
    std::vector<std::u16string> appErrors;
    void ShowError(const std::u16string& text) override { errors.push_back(text); }
    void ShowAppError(const std::u16string& text) override { appErrors.push_back(text); }
};

std::string ProfileString(const std::string& path, const std::string& section, const std::string& key)
{
    std::vector<char> buffer(1 << 20);
    const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "<missing>", buffer.data(),
                                                    static_cast<DWORD>(buffer.size()), path.c_str());
    return std::string(buffer.data(), length);
}

std::string FileBytes(const std::string& path)
{
    return win32::Win32TextFiles().ReadWholeFile(path).bytes;
}

// Every key the program keeps, as (section, key).
std::vector<std::pair<std::string, std::string>> AllKeys()
{
    std::vector<std::pair<std::string, std::string>> keys = {
        {"Setting", "Ancete"},       {"Setting", "uot"},          {"Setting", "Codepage"},
        {"Setting", "Flood"},        {"Setting", "FloodChk"},     {"Setting", "TBgColor"},
        {"Setting", "TMainFont"},    {"WindowsPos", "MainTop"},   {"WindowsPos", "MainLeft"},
        {"WindowsPos", "MainHeight"}, {"WindowsPos", "MainWidth"}, {"WindowsTransparent", "MainABV"},
        {"MainMenu", "Translation"}, {"MainMenu", "Aot"},         {"Agth", "Agthpath"},
        {"Agth", "AgthAToption"},    {"Agth", "AgthATrun"},
    };
    for (int row = 0; row < kShortcutRows; ++row)
        for (const char* key : {"GName", "APath", "AOption", "TDelay", "Notes", "GTMethod"})
            keys.emplace_back("AgthSM" + std::to_string(row), key);
    return keys;
}

std::u16string RandomText(std::mt19937& random, std::size_t length)
{
    std::u16string text;
    for (std::size_t i = 0; i < length; ++i)
        text.push_back(static_cast<char16_t>(random() % 3 ? 0x20 + random() % 0x60 : random() % 0x10000));
    return text;
}

struct Files {
    win32::Win32TextFiles files;
    RecordingPrompts prompts;
    win32::Win32CodePages codePages;
};

TEST(SettingsWin32Test, WhatWeWriteReadsTheSameThroughTheProfileFunctions)
{
    ScratchFolder folder("kx-settings");
    Files ports;
    SettingsFile file{folder / "KestruneEX.ini", ports.files, ports.prompts, ports.codePages};
    // A hand-edited start: comments, blank lines, odd spacing, LF ends, a
    // duplicate key, quotes, an unknown section.
    ASSERT_TRUE(ports.files.ReplaceWholeFile(file.path, "; my notes\n\n[Setting]\n  Flood =  99  \nFlood=1\n"
                                                        "Mine = \"quoted\"\n\n[Own]\nx = ' y '\n"));

    std::mt19937 random(5);
    AppSettings settings;
    settings.Codepage = 949;
    settings.Agthpath = u"C:\\Program Files\\AGTH\\agth.exe";
    settings.AgthAToption = " /H1 ,\"/KF\",,,,,,,, ";   // blanks and quotes at its ends
    for (int row = 0; row < kShortcutRows; ++row) {
        auto& entry = settings.ShortcutTable[static_cast<std::size_t>(row)];
        entry.GName = EncodeHexText(RandomText(random, 1 + random() % 40));
        entry.APath = EncodeHexText(RandomText(random, random() % 100));
        entry.AOption = EncodeHexText(RandomText(random, random() % 10));
        entry.TDelay = std::to_string(5 * (random() % 7));
        entry.Notes = EncodeHexText(RandomText(random, row == 0 ? 3000 : random() % 700));   // > 2047 characters
        entry.GTMethod = row % 5 == 0 ? "'1'" : std::to_string(1 + random() % 3);
    }
    MainWindowState window;
    window.colorDialogColor = 0x00123456;
    window.logViewFont = FontDescription{" MS Gothic", 0x000000FF, 10, FontPitch::Fixed, true, false, true, false};
    ASSERT_TRUE(SaveSettings(file, settings, window));
    ASSERT_TRUE(ports.prompts.appErrors.empty());

    const IniFile ours = IniFile::Parse(FileBytes(file.path));
    for (const auto& [section, key] : AllKeys()) {
        const std::optional<std::string> value = ours.Get(section, key);
        ASSERT_TRUE(value.has_value()) << section << "/" << key;
        EXPECT_EQ(ProfileString(file.path, section, key), *value) << section << "/" << key;
    }
    EXPECT_EQ(ProfileString(file.path, "Setting", "Mine"), "quoted");
    EXPECT_EQ(ProfileString(file.path, "Own", "x"), " y ");
    EXPECT_EQ(ProfileString(file.path, "Agth", "AgthAToption"), settings.AgthAToption);
    EXPECT_EQ(ProfileString(file.path, "AgthSM0", "Notes").size(), 12000u);
    EXPECT_EQ(ProfileString(file.path, "AgthSM5", "GTMethod"), "'1'");
    EXPECT_EQ(ProfileString(file.path, "Setting", "TMainFont"), " MS Gothic,clRed,10,f,bu");

    AppSettings loaded;
    LoadSettings(file, loaded, kClWindow);
    EXPECT_EQ(loaded, settings);
}

TEST(SettingsWin32Test, HandEditedValuesReadAsTheProfileFunctionsReadThem)
{
    ScratchFolder folder("kx-settings");
    const std::string path = folder / "hand.ini";
    const std::string text = "[S]\r\nq1=\"abc\"\r\nq2='abc'\r\nq3=\"abc\r\nq4=\"\r\nq5=\"\"\r\nq6=  a b  \t\r\n"
                             "q7=\"a\"b\"\r\nq8='a\"\r\n  q9  =  v9\r\nq10\r\nd=1\r\nd=2\r\nQ11=x=y\r\nq12=\t \r\n"
                             "q13 = ' x '\r\nq14=\x1a" "a\x0b\x0c\x1a\r\nq15=\x1c" "a\xa0\r\ncr=a\rb=c\nlf=1\n"
                             "[ S2 ]\r\nk=s2\r\n[S3\r\nk=s3\r\n[S4]junk\r\nk=s4\r\n[s]\r\nlate=1\r\n";
    ASSERT_TRUE(win32::Win32TextFiles().ReplaceWholeFile(path, text));
    const IniFile ours = IniFile::Parse(text);
    const std::pair<const char*, const char*> lookups[] = {
        {"S", "q1"},  {"S", "q2"},  {"S", "q3"},  {"S", "q4"},  {"S", "q5"},  {"S", "q6"},    {"S", "q7"},
        {"S", "q8"},  {"S", "q9"},  {"S", "q10"}, {"S", "d"},   {"s", "Q11"}, {"S", "q12"},   {"S", "q13"},
        {"S", "q14"}, {"S", "q15"}, {"S", "cr"},  {"S", "b"},   {"S", "lf"},  {"S2", "k"},    {" S2 ", "K"},
        {"S3", "k"},  {"S4", "k"},  {"S", "late"}, {"S", "none"}, {"none", "k"},
    };
    for (const auto& [section, key] : lookups)
        EXPECT_EQ(ProfileString(path, section, key), ours.Get(section, key).value_or("<missing>"))
            << section << "/" << key;
}

TEST(SettingsWin32Test, Utf16FileStaysUtf16AndReadsThroughTheProfileFunctions)
{
    ScratchFolder folder("kx-settings");
    Files ports;
    SettingsFile file{folder / "KestruneEX.ini", ports.files, ports.prompts, ports.codePages};
    // "\u4E00" is in no single-byte ANSI code page: the file is still edited.
    const std::u16string text = u"; r\u00E9glages \u4E00\r\n[Setting]\r\nFlood=7\r\n[Own]\r\nx=\u00E9t\u00E9\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    ASSERT_TRUE(ports.files.ReplaceWholeFile(file.path, bytes));
    AppSettings settings;
    const MainWindowState window = LoadSettings(file, settings, kClWindow);
    EXPECT_EQ(settings.Flood, 7);
    settings.Flood = 9;
    settings.ShortcutTable[4].GName = EncodeHexText(u"\uAC00");
    ASSERT_TRUE(SaveSettings(file, settings, window));

    const std::string saved = FileBytes(file.path);
    EXPECT_EQ(saved.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(ProfileString(file.path, "Setting", "Flood"), "9");
    EXPECT_EQ(ProfileString(file.path, "Own", "x"), "\xE9t\xE9");
    EXPECT_EQ(ProfileString(file.path, "AgthSM4", "GName"), "AC00");
    EXPECT_EQ(ProfileString(file.path, "WindowsPos", "MainWidth"), "640");
    // The first line kept whole.
    EXPECT_EQ(saved.substr(2, 28), std::string(reinterpret_cast<const char*>(u"; r\u00E9glages \u4E00\r\n"), 28));
}

// A shutdown as the main window runs it: the save, then the steps after it.
std::vector<std::string> RunShutdown(SettingsFile& file)
{
    std::vector<std::string> steps;
    AppSettings settings;
    settings.Flood = 77;
    if (!SaveSettings(file, settings, MainWindowState{}))
        steps.push_back("save failed");
    steps.push_back("left clipboard chain");
    steps.push_back("engine closed");
    return steps;
}

const std::vector<std::string> kShutdownAfterFailure = {"save failed", "left clipboard chain", "engine closed"};

TEST(SettingsWin32Test, ReadOnlyFileIsReportedOnceAndKeptWhole)
{
    ScratchFolder folder("kx-settings");
    Files ports;
    SettingsFile file{folder / "KestruneEX.ini", ports.files, ports.prompts, ports.codePages};
    const std::string old = "[Setting]\r\nFlood=5\r\n[AgthSM0]\r\nGName=0041\r\n";
    ASSERT_TRUE(ports.files.ReplaceWholeFile(file.path, old));
    ASSERT_TRUE(::SetFileAttributesA(file.path.c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_EQ(RunShutdown(file), kShutdownAfterFailure);
    ASSERT_EQ(ports.prompts.appErrors.size(), 1u);
    EXPECT_EQ(ports.prompts.appErrors[0], u"Unable to write to " + win32::AnsiToU16(file.path) + u".");
    EXPECT_TRUE(ports.prompts.errors.empty());
    EXPECT_EQ(FileBytes(file.path), old);
    EXPECT_EQ(::GetFileAttributesA(ReplacementFilePath(file.path).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(::GetFileAttributesA(file.path.c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST(SettingsWin32Test, FolderWithoutRoomForTheNewFileIsReportedOnceAndTheOldFileKept)
{
    // The temporary file's name is taken by a read-only folder: nothing can be
    // created there, as in a folder without write access.
    ScratchFolder folder("kx-settings");
    Files ports;
    SettingsFile file{folder / "KestruneEX.ini", ports.files, ports.prompts, ports.codePages};
    const std::string old = "[Setting]\r\nFlood=5\r\n";
    ASSERT_TRUE(ports.files.ReplaceWholeFile(file.path, old));
    ASSERT_TRUE(::CreateDirectoryA(ReplacementFilePath(file.path).c_str(), nullptr));
    ::SetFileAttributesA(ReplacementFilePath(file.path).c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(RunShutdown(file), kShutdownAfterFailure);
    EXPECT_EQ(ports.prompts.appErrors.size(), 1u);
    EXPECT_EQ(FileBytes(file.path), old);
    EXPECT_TRUE(::GetFileAttributesA(ReplacementFilePath(file.path).c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(SettingsWin32Test, MissingFolderIsReportedOnce)
{
    ScratchFolder folder("kx-settings");
    Files ports;
    SettingsFile file{folder / "gone\\KestruneEX.ini", ports.files, ports.prompts, ports.codePages};
    AppSettings settings;
    LoadSettings(file, settings, kClWindow);   // a missing file: defaults, no box
    EXPECT_TRUE(ports.prompts.appErrors.empty());
    EXPECT_EQ(RunShutdown(file), kShutdownAfterFailure);
    EXPECT_EQ(ports.prompts.appErrors.size(), 1u);
    EXPECT_EQ(::GetFileAttributesA(file.path.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Runs a Linux program from the Wine process (Wine starts ELF files itself;
// it gives no waitable handle, so callers poll for the effect).
bool StartUnixProgram(const std::string& commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

bool CanCreateFileIn(const std::string& folder)
{
    const std::string probe = folder + "\\probe";
    const HANDLE handle = ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(handle);
    ::DeleteFileA(probe.c_str());
    return true;
}

bool WaitUntilCreatable(const std::string& folder, bool creatable)
{
    for (int tries = 0; tries < 100; ++tries) {
        if (CanCreateFileIn(folder) == creatable)
            return true;
        ::Sleep(30);
    }
    return false;
}

TEST(SettingsWin32Test, ReadOnlyFolderIsReportedOnceAndTheOldFileKept)
{
    // Wine here runs as root: Unix permissions do not stop it, and Wine keeps
    // no read-only attribute on folders. An immutable folder (chattr +i)
    // stops root too.
    const std::string unixFolder = "/tmp/kx-settings-ro-" + std::to_string(::GetCurrentProcessId());
    const std::string folder = kx::testing::WindowsPathOf(unixFolder);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    Files ports;
    SettingsFile file{folder + "\\KestruneEX.ini", ports.files, ports.prompts, ports.codePages};
    const std::string old = "[Setting]\r\nFlood=5\r\n";
    ASSERT_TRUE(ports.files.ReplaceWholeFile(file.path, old));

    const bool locked = StartUnixProgram("Z:\\usr\\bin\\chattr +i " + unixFolder) && WaitUntilCreatable(folder, false);
    std::vector<std::string> steps;
    if (locked)
        steps = RunShutdown(file);
    StartUnixProgram("Z:\\usr\\bin\\chattr -i " + unixFolder);
    const bool unlocked = WaitUntilCreatable(folder, true);
    const std::string after = FileBytes(file.path);
    ScratchFolder::RemoveTree(folder);
    if (!locked)
        GTEST_SKIP() << "chattr +i is not available here; no read-only folder can be made for root";

    EXPECT_TRUE(unlocked);
    EXPECT_EQ(steps, kShutdownAfterFailure);
    EXPECT_EQ(ports.prompts.appErrors.size(), 1u);
    EXPECT_EQ(after, old);
}

TEST(SettingsWin32Test, SettingsPathIsBesideThisProgram)
{
    const std::string exe = win32::ProgramFilePath();
    ASSERT_GT(exe.size(), 4u);
    EXPECT_EQ(exe.substr(exe.size() - 4), ".exe");
    const std::string ini = SettingsFilePath(win32::ProgramFilePath());
    const std::size_t folderEnd = exe.find_last_of('\\') + 1;
    EXPECT_EQ(ini, exe.substr(0, folderEnd) + "KestruneEX.ini");
}

TEST(SettingsWin32Test, AtomicReplaceLeavesNoTemporaryFile)
{
    ScratchFolder folder("kx-settings");
    win32::Win32TextFiles files;
    const std::string path = folder / "a.ini";
    EXPECT_EQ(files.ReadWholeFile(path).status, FileReadStatus::Missing);
    EXPECT_EQ(files.ReadWholeFile(folder / "gone\\a.ini").status, FileReadStatus::Missing);
    const std::string big(3 << 20, 'x');
    ASSERT_TRUE(files.ReplaceWholeFile(path, big));
    ASSERT_TRUE(files.ReplaceWholeFile(path, "small"));
    const FileReadResult read = files.ReadWholeFile(path);
    EXPECT_EQ(read.status, FileReadStatus::Read);
    EXPECT_EQ(read.bytes, "small");
    EXPECT_EQ(::GetFileAttributesA(ReplacementFilePath(path).c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
