#include "agth/shortcut_manager.h"
#include "common/app_error.h"
#include "settings/value_encodings.h"
#include "settings_fakes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace kx;
using kx::testing::FakePrompts;
using kx::testing::Latin1CodePages;

namespace {

struct FakeMethodHost : AgthHelperHost {
    int method = 1;
    std::vector<int> set;
    int GetTextMethod() const override { return method; }
    void SetGetTextMethod(int m) override { method = m; set.push_back(m); }
};

struct FakePauseHost : CapturePauseHost {
    std::vector<bool> monitoring;
    std::vector<unsigned> timers;
    void SetMonitoring(bool on) override { monitoring.push_back(on); }
    void StartTimer(unsigned ms) override { timers.push_back(ms); }
    void StopTimer() override {}
};

struct FakeFiles : FileProbePort {
    std::set<std::u16string> files;
    bool IsExistingFile(const std::u16string& path) override { return files.count(path) != 0; }
};

struct FakeLauncher : ProgramLaunchPort {
    std::vector<LaunchRequest> launched;
    void Launch(const LaunchRequest& r) override { launched.push_back(r); }
};

ShortcutEntry Row(std::u16string name, std::u16string path, std::string delay = "10", std::string method = "1",
                  std::u16string options = u"", std::u16string notes = u"")
{
    return {EncodeHexText(name), EncodeHexText(path), EncodeHexText(options), delay, EncodeHexText(notes), method};
}

struct Fixture {
    AppSettings settings;
    FakeMethodHost methodHost;
    FakePauseHost pauseHost;
    FakePrompts prompts;
    Latin1CodePages codePages;
    FakeFiles files;
    FakeLauncher launcher;
    ShortcutManager manager{settings, methodHost, pauseHost, {prompts, codePages, files, launcher}};
};

TEST(ShortcutList, LoadSkipsUnusedRowsAndSavePacksFromRowZero)
{
    Fixture f;
    f.settings.ShortcutTable[0] = Row(u"Alpha", u"C:\\a\\a.exe", "5", "2", u"/hh", u"line1\r\nline2");
    f.settings.ShortcutTable[3].GName = " \t";   // blank once trimmed: not in use
    f.settings.ShortcutTable[3].APath = EncodeHexText(u"C:\\ghost.exe");
    f.settings.ShortcutTable[5] = Row(u"\u4E2D\U0001F600 b", u"D:\\\u00E9\u4E2D\\g.exe");
    f.settings.ShortcutTable[5].Notes = "00G1";   // undecodable: empty
    f.manager.Load();

    ASSERT_EQ(f.manager.Items().size(), 2u);
    EXPECT_EQ(f.manager.Items()[0],
              (ShortcutItem{u"Alpha", u"C:\\a\\a.exe", u"/hh", u"5", u"line1\r\nline2", u"2", 0}));
    EXPECT_EQ(f.manager.Items()[1].name, u"\u4E2D\U0001F600 b");
    EXPECT_EQ(f.manager.Items()[1].notes, u"");
    EXPECT_EQ(f.manager.Items()[1].image, 1);
    EXPECT_EQ(f.manager.ImageCount(), 2);
    // The first entry is selected and fills the editors.
    EXPECT_EQ(f.manager.Selected(), 0);
    EXPECT_EQ(f.manager.Editors(), (ShortcutEditors{u"Alpha", u"C:\\a\\a.exe", u"/hh", 1, u"line1\r\nline2", 2}));

    f.manager.Save();
    EXPECT_EQ(f.settings.ShortcutTable[0], Row(u"Alpha", u"C:\\a\\a.exe", "5", "2", u"/hh", u"line1\r\nline2"));
    EXPECT_EQ(f.settings.ShortcutTable[1], Row(u"\u4E2D\U0001F600 b", u"D:\\\u00E9\u4E2D\\g.exe"));
    for (int i = 2; i < kShortcutRows; ++i)
        EXPECT_EQ(f.settings.ShortcutTable[i], ShortcutEntry{}) << i;

    // Characters outside every 8-bit code page survive a second round.
    Fixture g;
    g.settings.ShortcutTable = f.settings.ShortcutTable;
    g.manager.Load();
    EXPECT_EQ(g.manager.Items()[1].path, u"D:\\\u00E9\u4E2D\\g.exe");
}

TEST(ShortcutList, EmptyTableSelectsNothingAndNewStopsAtTableSize)
{
    Fixture f;
    f.manager.Load();
    EXPECT_TRUE(f.manager.Items().empty());
    EXPECT_FALSE(f.manager.Selected());

    ASSERT_TRUE(f.manager.New());
    EXPECT_EQ(f.manager.Items()[0], (ShortcutItem{u"New Game", u"", u"", u"10", u"", u"1", -1}));
    EXPECT_EQ(f.manager.Selected(), 0);
    EXPECT_EQ(f.manager.Editors().gameName, u"New Game");
    EXPECT_EQ(f.manager.Editors().delayIndex, 2);
    for (int i = 1; i < kShortcutRows; ++i)
        ASSERT_TRUE(f.manager.New());
    EXPECT_FALSE(f.manager.New());
    EXPECT_EQ(f.manager.Items().size(), static_cast<size_t>(kShortcutRows));
    f.manager.Save();
    EXPECT_EQ(f.settings.ShortcutTable[99].GName, EncodeHexText(u"New Game"));
}

TEST(ShortcutEditorsFill, DelayAndMethodRules)
{
    const struct {
        const char* delay;
        const char* method;
        int delayIndex;
        int methodButton;
    } cases[] = {
        {"0", "1", 0, 1},  {"30", "3", 6, 3}, {"7", "9", 2, 1},  {"15", "2", 3, 2},
        {"35", "0", 2, 1}, {"-5", "-1", 2, 1}, {" 25", "+3", 5, 3}, {"010", "02", 2, 2},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.settings.ShortcutTable[0] = Row(u"G", u"C:\\g.exe", c.delay, c.method);
        f.manager.Load();
        EXPECT_EQ(f.manager.Editors().delayIndex, c.delayIndex) << c.delay;
        EXPECT_EQ(f.manager.Editors().method, c.methodButton) << c.method;
    }
}

TEST(ShortcutEditorsFill, NonIntegerStopsFillingAtThatField)
{
    Fixture f;
    f.settings.ShortcutTable[0] = Row(u"Good", u"C:\\good.exe", "20", "3", u"/x", u"n");
    f.settings.ShortcutTable[1] = Row(u"BadDelay", u"C:\\d.exe", "ten", "2", u"/bd", u"nd");
    f.settings.ShortcutTable[2] = Row(u"BadMethod", u"C:\\m.exe", "5", "3a", u"/bm", u"nm");
    f.manager.Load();

    try {
        f.manager.Select(1);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "'ten' is not a valid integer value");
    }
    // Name, path and options came from the new entry; delay, notes and method kept.
    EXPECT_EQ(f.manager.Editors(), (ShortcutEditors{u"BadDelay", u"C:\\d.exe", u"/bd", 4, u"n", 3}));

    try {
        f.manager.Select(2);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "'3a' is not a valid integer value");
    }
    EXPECT_EQ(f.manager.Editors(), (ShortcutEditors{u"BadMethod", u"C:\\m.exe", u"/bm", 1, u"nm", 3}));

    // Delay and method are decimal: the settings file's hexadecimal forms are
    // conversion errors too.
    const struct {
        const char* delay;
        const char* method;
        const char* error;
    } hex[] = {{"$A", "1", "'$A' is not a valid integer value"},
               {"0x5", "1", "'0x5' is not a valid integer value"},
               {"5", "x2", "'x2' is not a valid integer value"},
               {"5", "$3", "'$3' is not a valid integer value"}};
    for (const auto& c : hex) {
        Fixture g;
        g.settings.ShortcutTable[0] = Row(u"G", u"C:\\g.exe", c.delay, c.method);
        try {
            g.manager.Load();
            ADD_FAILURE() << "no error for " << c.delay << " / " << c.method;
        } catch (const AppError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }

    // Losing the selection leaves the editors alone.
    f.manager.Select(std::nullopt);
    EXPECT_FALSE(f.manager.Selected());
    EXPECT_EQ(f.manager.Editors().gameName, u"BadMethod");
}

TEST(ShortcutEditing, AppPathRenamesOnlyNewOrBlankNames)
{
    const struct {
        const char16_t* name;
        const char16_t* path;
        const char16_t* after;
    } cases[] = {
        {u"New Game", u"C:\\games\\demo.exe", u"demo.exe"},
        {u"  ", u"C:\\games\\demo.exe", u"demo.exe"},
        {u"", u"demo2.exe", u"demo2.exe"},
        {u"New Game ", u"C:\\x\\demo.exe", u"New Game "},
        {u"new game", u"C:\\x\\demo.exe", u"new game"},
        {u"Mine", u"C:\\x\\demo.exe", u"Mine"},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.manager.New();
        f.manager.Editors().gameName = c.name;
        f.manager.AppPathChosen(c.path);
        EXPECT_EQ(f.manager.Editors().gameName, c.after) << static_cast<int>(c.after[0]);
        EXPECT_EQ(f.manager.Editors().appPath, c.path);
        EXPECT_EQ(f.manager.Items()[0].path, u"");   // the entry waits for Apply
    }
}

TEST(ShortcutEditing, ApplyValidatesAndWritesEditorsWithANewImage)
{
    Fixture f;
    f.manager.Load();
    EXPECT_FALSE(f.manager.Apply());
    f.manager.New();
    f.manager.Editors().gameName = u" \t";
    f.manager.Editors().appPath = u"C:\\g.exe";
    EXPECT_FALSE(f.manager.Apply());
    f.manager.Editors().gameName = u" Game ";
    f.manager.Editors().appPath = u"  ";
    EXPECT_FALSE(f.manager.Apply());
    EXPECT_EQ(f.prompts.errors,
              (std::vector<std::u16string>{u"Select item to apply first.", u"Input game name", u"Select application path"}));
    EXPECT_EQ(f.manager.Items()[0].name, u"New Game");

    f.manager.Editors() = {u" Game ", u"C:\\g.exe", u"/KS2", 5, u"a\r\nb", 3};
    ASSERT_TRUE(f.manager.Apply());
    EXPECT_EQ(f.manager.Items()[0], (ShortcutItem{u" Game ", u"C:\\g.exe", u"/KS2", u"25", u"a\r\nb", u"3", 0}));
    ASSERT_TRUE(f.manager.Apply());
    EXPECT_EQ(f.manager.Items()[0].image, 1);   // images only grow
    f.manager.Save();
    EXPECT_EQ(f.settings.ShortcutTable[0], Row(u" Game ", u"C:\\g.exe", "25", "3", u"/KS2", u"a\r\nb"));
}

TEST(ShortcutEditing, RenameInPlaceAndEmptyNameDropsAfterReload)
{
    Fixture f;
    f.settings.ShortcutTable[0] = Row(u"A", u"C:\\a.exe");
    f.settings.ShortcutTable[1] = Row(u"B", u"C:\\b.exe");
    f.manager.Load();
    f.manager.Renamed(1, u"Bee");
    EXPECT_EQ(f.manager.Items()[1].name, u"Bee");
    EXPECT_EQ(f.manager.Editors().gameName, u"Bee");
    f.manager.Renamed(0, u"");
    EXPECT_EQ(f.manager.Items().size(), 2u);
    f.manager.Save();

    Fixture g;
    g.settings.ShortcutTable = f.settings.ShortcutTable;
    g.manager.Load();
    ASSERT_EQ(g.manager.Items().size(), 1u);
    EXPECT_EQ(g.manager.Items()[0].name, u"Bee");
}

TEST(ShortcutEditing, DeleteSelectsSamePlaceOrLast)
{
    Fixture f;
    for (int i = 0; i < 3; ++i)
        f.settings.ShortcutTable[i] = Row(std::u16string(1, u'A' + i), u"C:\\x.exe", "10", std::to_string(i + 1));
    f.manager.Load();
    f.manager.Select(std::nullopt);
    f.manager.DeleteSelected();
    EXPECT_EQ(f.manager.Items().size(), 3u);

    f.manager.Select(1);
    f.manager.DeleteSelected();
    EXPECT_EQ(f.manager.Selected(), 1);
    EXPECT_EQ(f.manager.Editors().gameName, u"C");
    f.manager.DeleteSelected();   // the last one: the new last is selected
    EXPECT_EQ(f.manager.Selected(), 0);
    EXPECT_EQ(f.manager.Editors().gameName, u"A");
    f.manager.DeleteSelected();   // the only one
    EXPECT_TRUE(f.manager.Items().empty());
    EXPECT_FALSE(f.manager.Selected());
    EXPECT_EQ(f.manager.Editors().gameName, u"A");
    f.manager.Save();
    EXPECT_EQ(f.settings.ShortcutTable[0], ShortcutEntry{});
}

TEST(ShortcutEditing, LeavingTheOptionEditorSetsTheMethod)
{
    const struct {
        const char16_t* option;
        int before;
        int after;
    } cases[] = {
        {u"/HH", 1, 3},      {u"/hh /ha", 3, 1}, {u"/hh /hw", 2, 1}, {u"/HB", 3, 1},
        {u"/hw", 2, 1},      {u"/KS2", 2, 2},    {u"  ", 3, 3},      {u"x/hhy", 1, 3},
        {u"/h h", 2, 2},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.manager.Editors().option = c.option;
        f.manager.Editors().method = c.before;
        f.manager.OptionExit();
        EXPECT_EQ(f.manager.Editors().method, c.after) << c.before;
        EXPECT_TRUE(f.methodHost.set.empty());
    }
}

TEST(ShortcutRun, ChecksThenSetsMethodPausesAndLaunches)
{
    Fixture f;
    f.settings.Agthpath = u"C:\\agth\\agth.exe";
    f.settings.ShortcutTable[0] = Row(u"G", u"C:\\games\\old.exe", "15", "3", u"/hh");
    f.manager.Load();

    EXPECT_FALSE(f.manager.Run(u"  "));
    EXPECT_FALSE(f.manager.Run(u"C:\\agth\\agth.exe"));   // game missing
    EXPECT_EQ(f.prompts.errors,
              (std::vector<std::u16string>{u"Select agth.exe to run first.", u"Check the application path."}));
    EXPECT_TRUE(f.launcher.launched.empty());
    EXPECT_TRUE(f.methodHost.set.empty());
    EXPECT_TRUE(f.pauseHost.timers.empty());

    // The edited, unapplied path is the one started.
    f.files.files = {u"C:\\games\\new dir\\new.exe"};
    f.manager.Editors().appPath = u"C:\\games\\new dir\\new.exe";
    ASSERT_TRUE(f.manager.Run(u"C:\\agth\\agth.exe"));
    EXPECT_EQ(f.methodHost.set, std::vector<int>{3});
    EXPECT_EQ(f.pauseHost.monitoring, std::vector<bool>{false});
    EXPECT_EQ(f.pauseHost.timers, std::vector<unsigned>{15000});
    ASSERT_EQ(f.launcher.launched.size(), 1u);
    EXPECT_EQ(f.launcher.launched[0], (LaunchRequest{u"C:\\agth\\agth.exe", u"/hh /C /L C:\\games\\new dir\\new.exe",
                                                     u"C:\\games\\new dir\\"}));
    EXPECT_EQ(f.manager.Items()[0].path, u"C:\\games\\old.exe");
}

// Attach and Run start AGTH in a folder by one rule: the folder part of the
// path, or the program's own folder when the path names none.
TEST(ShortcutRun, WorkingDirectoryFollowsTheAttachRule)
{
    const struct {
        std::u16string game;
        std::u16string directory;
    } cases[] = {{u"C:\\Games\\Demo\\demo.exe", u"C:\\Games\\Demo\\"},
                 {u"C:\\demo.exe", u"C:\\"},
                 {u"demo.exe", u""}};   // no folder named: the launcher's own, as Attach does
    for (const auto& c : cases) {
        Fixture f;
        f.files.files = {c.game};
        f.manager.Editors().appPath = c.game;
        ASSERT_TRUE(f.manager.Run(u"agth.exe"));
        ASSERT_EQ(f.launcher.launched.size(), 1u);
        EXPECT_EQ(f.launcher.launched[0].directory, c.directory);
        EXPECT_EQ(f.launcher.launched[0].directory, LaunchDirectory(c.game));
    }
}

TEST(ShortcutRun, FileNamePart)
{
    EXPECT_EQ(FileNamePart(u"C:\\a\\demo.exe"), u"demo.exe");
    EXPECT_EQ(FileNamePart(u"demo.exe"), u"demo.exe");
    EXPECT_EQ(FileNamePart(u"C:\\a\\"), u"");
}

} // namespace
