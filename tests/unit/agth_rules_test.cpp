#include "agth/agth_helper.h"
#include "agth/agth_rules.h"
#include "platform/posix/iconv_code_pages.h"
#include "settings_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kx;

namespace {

// --- Process list ------------------------------------------------------------

TEST(ProcessList, FiltersByHookAndClubBoxAfterFoldingAtoZ)
{
    const struct {
        const char* name;
        bool listed;
    } cases[] = {
        {"notepad.exe", true},       {"MyHookTool.exe", false}, {"HOOK.EXE", false},
        {"ClubBox.exe", false},      {"clubbox.exe.bak", false}, {"clubbox.ex", true},
        {"hoo.exe", true},           {"ithvnr_hook.dll.exe", false}, {"KestruneEX.exe", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ListsProcessName(c.name), c.listed) << c.name;
}

TEST(ProcessList, ReverseSnapshotOrderAndFirstAlwaysKept)
{
    const std::vector<ProcessEntry> reported = {
        {0, "[System Process]"}, {4, "hookd.exe"}, {120, "notepad.exe"},
        {133, "ClubBox.exe"},    {9001, "game.exe"}, {77, "MyHookTool.exe"},
    };
    const std::vector<ProcessRow> expected = {{"9001", "game.exe"}, {"120", "notepad.exe"}, {"0", "[System Process]"}};
    EXPECT_EQ(ProcessListRows(reported), expected);

    // The first process stays even when its own name would be filtered.
    EXPECT_EQ(ProcessListRows({{8, "hookhost.exe"}, {9, "clubbox.exe"}}),
              (std::vector<ProcessRow>{{"8", "hookhost.exe"}}));
    EXPECT_TRUE(ProcessListRows({}).empty());
    // Unsigned decimal without leading zeros, up to the full 32 bits.
    EXPECT_EQ(ProcessListRows({{4294967295u, "a.exe"}}).front().processId, "4294967295");
}

// --- Command lines -----------------------------------------------------------

TEST(AgthSwitches, DefaultSwitchesAreSubstringTests)
{
    const struct {
        const char* options;
        const char* expected;
    } cases[] = {
        {"", " /C /L"},
        {"/HH", "/HH /C /L"},
        {"/r411 /c", "/r411 /c"},
        {"/cx", "/cx /L"},          // "/c" inside a longer switch counts
        {"/ra", "/ra /C"},          // so does "/r"
        {"/R", "/R /C"},            // upper case R suppresses " /L"
        {"/L /P99", "/L /P99 /C"},
        {"/KS2 /l804", "/KS2 /l804 /C"},
        {"C:/x", "C:/x /C /L"},     // no switch at all
    };
    for (const auto& c : cases)
        EXPECT_EQ(ApplyDefaultAgthSwitches(c.options), c.expected) << c.options;
}

TEST(AgthSwitches, HookOptionsAdjustTheGetTextMethod)
{
    const struct {
        int before;
        const char* options;
        int after;
    } cases[] = {
        {1, "", 1},         {1, "/ha", 1},        {1, "/HH", 3},       {1, "/hh /hw", 1},
        {1, "/HH/HB", 1},   {2, "/hh", 2},        {2, "/hh /HA", 1},   {2, "/hw", 1},
        {3, "", 3},         {3, "/hh", 3},        {3, "/hb", 1},       {4, "/hh /hw", 4},
        {0, "/hh", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AdjustMethodForHookOptions(c.before, c.options), c.after) << c.before << " " << c.options;
}

TEST(AgthSwitches, ProcessSwitchLosesOnlyItsTwoCharacters)
{
    const struct {
        const char* options;
        const char* expected;
    } cases[] = {
        {"/L /P99 /C", "/L 99 /C"},
        {"/p1/P2/p3", "123"},
        {"/Q /C /L", "/Q /C /L"},   // nothing to delete
        {"//pP", ""},               // "/p" goes first, which leaves "/P"
        {"/Pp", "p"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RemoveProcessSwitch(c.options), c.expected) << c.options;
}

TEST(AgthSwitches, AttachAndRunParameters)
{
    EXPECT_EQ(BuildAttachParameters("1234", " /C /L"), "/P1234  /C /L");
    EXPECT_EQ(BuildAttachParameters("1234", "/HH /C /L"), "/P1234 /HH /C /L");

    IconvCodePages korean(949);
    EXPECT_EQ(BuildRunParameters(korean, u"", u"C:\\Games\\Demo\\demo.exe"), u" /C /L C:\\Games\\Demo\\demo.exe");
    EXPECT_EQ(BuildRunParameters(korean, u"/HSN8@4ABC:게임 /r", u"D:\\My Games\\a b.exe"),
              u"/HSN8@4ABC:게임 /r /C D:\\My Games\\a b.exe");
    // No hook-option rule and no "/p" deletion when a game is run.
    EXPECT_EQ(BuildRunParameters(korean, u"/P12 /hh", u"g.exe"), u"/P12 /hh /C /L g.exe");
}

TEST(AgthSwitches, DirectoryParts)
{
    EXPECT_EQ(DirectoryPart(u"C:\\Tools\\AGTH\\agth.exe"), u"C:\\Tools\\AGTH\\");
    EXPECT_EQ(DirectoryPart(u"C:\\Games\\Demo\\demo.exe"), u"C:\\Games\\Demo\\");
    EXPECT_EQ(DirectoryPart(u"agth.exe"), u"agth.exe");
    EXPECT_EQ(DirectoryPart(u"C:\\"), u"C:\\");
    EXPECT_EQ(LaunchDirectory(u"C:\\Tools\\AGTH\\agth.exe"), u"C:\\Tools\\AGTH\\");
    EXPECT_EQ(LaunchDirectory(u"agth.exe"), u"");
}

// --- Option history ----------------------------------------------------------

TEST(OptionHistory, LoadSplitsAtCommasAndDropsBlankPieces)
{
    using Items = std::vector<std::string>;
    EXPECT_EQ(LoadOptionHistory("a,,b"), (Items{"a", "b"}));
    EXPECT_EQ(LoadOptionHistory(",,,,,,,,,"), Items{});
    EXPECT_EQ(LoadOptionHistory(""), Items{});
    EXPECT_EQ(LoadOptionHistory(" /hw ,\t, /ha"), (Items{" /hw ", " /ha"}));   // kept untrimmed
    EXPECT_EQ(LoadOptionHistory("/hw,/ha,,,,,,,,"), (Items{"/hw", "/ha"}));
    EXPECT_EQ(LoadOptionHistory("x"), (Items{"x"}));
}

TEST(OptionHistory, UpdateMovesTheTextToTheTopAndKeepsTen)
{
    using Items = std::vector<std::string>;
    Items items{"/hw", "/ha"};
    EXPECT_TRUE(UpdateOptionHistory(items, "/ha"));
    EXPECT_EQ(items, (Items{"/ha", "/hw"}));
    EXPECT_TRUE(UpdateOptionHistory(items, "/HA"));   // case-sensitive: a new item
    EXPECT_EQ(items, (Items{"/HA", "/ha", "/hw"}));
    EXPECT_FALSE(UpdateOptionHistory(items, "  "));
    EXPECT_EQ(items, (Items{"/HA", "/ha", "/hw"}));

    Items ten{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    EXPECT_TRUE(UpdateOptionHistory(ten, "new"));
    EXPECT_EQ(ten, (Items{"new", "0", "1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_TRUE(UpdateOptionHistory(ten, "5"));
    EXPECT_EQ(ten.size(), 10u);
    EXPECT_EQ(ten.front(), "5");
    EXPECT_EQ(ten.back(), "8");
}

TEST(OptionHistory, SaveWritesTenSlots)
{
    EXPECT_EQ(SaveOptionHistory({"/hw", "/ha"}), "/hw,/ha,,,,,,,,");
    EXPECT_EQ(SaveOptionHistory({"/hw"}), "/hw,,,,,,,,,");
    EXPECT_EQ(SaveOptionHistory({}), ",,,,,,,,,");
    EXPECT_EQ(SaveOptionHistory({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}), "0,1,2,3,4,5,6,7,8,9");
    // A comma inside an option splits it at the next loading.
    EXPECT_EQ(LoadOptionHistory(SaveOptionHistory({"/a,b"})), (std::vector<std::string>{"/a", "b"}));
}

// --- The helper's attach tab -------------------------------------------------

struct FakeMain : AgthHelperHost {
    int method = 1;
    std::vector<int> changes;
    int GetTextMethod() const override { return method; }
    void SetGetTextMethod(int m) override
    {
        method = m;
        changes.push_back(m);
    }
};

struct FakeSnapshot : ProcessSnapshotPort {
    std::vector<ProcessEntry> processes;
    std::vector<ProcessEntry> Processes() override { return processes; }
};

struct FakeLauncher : ProgramLaunchPort {
    std::vector<LaunchRequest> launches;
    void Launch(const LaunchRequest& request) override { launches.push_back(request); }
};

struct HelperTest : ::testing::Test {
    AppSettings settings;
    FakeMain main;
    FakeSnapshot snapshot;
    FakeLauncher launcher;
    kx::testing::FakePrompts prompts;
    kx::testing::Latin1CodePages codePages;
    AgthHelper helper{settings, main, {snapshot, launcher, prompts, codePages}};

    void SetUp() override
    {
        settings.Agthpath = u"C:\\Tools\\AGTH\\agth.exe";
        snapshot.processes = {{0, "[System Process]"}, {555, "explorer.exe"}, {1234, "game.exe"}};
        helper.Created();
        helper.Open();
    }
    // Attach with `options` typed into the box; returns the parameters.
    std::u16string Attach(const std::string& options, bool withoutOptions = false)
    {
        helper.Controls().optionText = options;
        EXPECT_TRUE(helper.AttachAgth(withoutOptions));
        return launcher.launches.empty() ? u"" : launcher.launches.back().parameters;
    }
};

TEST_F(HelperTest, AttachExamples)
{
    const struct {
        const char* options;
        bool withoutOptions;
        int methodBefore;
        const char16_t* parameters;
        int methodAfter;
    } cases[] = {
        {"", false, 1, u"/P1234  /C /L", 1},
        {"/HH", false, 1, u"/P1234 /HH /C /L", 3},
        {"/r411 /c", false, 1, u"/P1234 /r411 /c", 1},
        {"/L /P99", false, 1, u"/P1234 /L 99 /C", 1},
        {"/hh /KS2", true, 1, u"/P1234  /C /L", 1},
        {"/hh", false, 2, u"/P1234 /hh /C /L", 2},
        {"/hw", true, 3, u"/P1234  /C /L", 3},   // @Attach never changes the method
        {"/hw", false, 3, u"/P1234 /hw /C /L", 1},
    };
    for (const auto& c : cases) {
        main.method = c.methodBefore;
        EXPECT_EQ(Attach(c.options, c.withoutOptions), c.parameters) << c.options;
        EXPECT_EQ(main.method, c.methodAfter) << c.options;
        EXPECT_EQ(launcher.launches.back().program, u"C:\\Tools\\AGTH\\agth.exe");
        EXPECT_EQ(launcher.launches.back().directory, u"C:\\Tools\\AGTH\\");
    }
    EXPECT_TRUE(prompts.errors.empty());
}

TEST_F(HelperTest, BlankPathRefusesWithTheErrorBoxAndChangesNothing)
{
    for (const std::u16string path : {u"", u"  \t\r\n"}) {
        helper.Controls().agthPath = path;
        helper.Controls().optionText = "/hh";
        main.method = 1;
        EXPECT_FALSE(helper.AttachAgth(false));
        EXPECT_EQ(main.method, 1);
    }
    EXPECT_EQ(prompts.errors, (std::vector<std::u16string>{kNoAgthPathMessage, kNoAgthPathMessage}));
    EXPECT_EQ(std::u16string(kNoAgthPathMessage), u"Select agth.exe to attach first.");
    EXPECT_TRUE(launcher.launches.empty());
    EXPECT_TRUE(main.changes.empty());
}

TEST_F(HelperTest, RefreshSelectsTheLastReportedProcessAndAnEmptySnapshotRefusesAttach)
{
    ASSERT_EQ(helper.Controls().processes.size(), 3u);
    EXPECT_EQ(helper.Controls().currentRow, 0);
    helper.Controls().currentRow = 1;
    EXPECT_EQ(Attach(""), u"/P555  /C /L");

    snapshot.processes.clear();
    helper.RefreshProcessList();
    EXPECT_TRUE(helper.Controls().processes.empty());
    EXPECT_FALSE(helper.Controls().currentRow.has_value());
    EXPECT_FALSE(helper.AttachAgth(false));
    EXPECT_EQ(launcher.launches.size(), 1u);
    EXPECT_TRUE(prompts.errors.empty());
}

TEST_F(HelperTest, OpeningAndClosingCarryTheSharedValues)
{
    settings.AgthAToption = "/hw,,/ha,,,,,,,";
    settings.AgthATrun = 0;
    main.method = 2;
    helper.Open();
    EXPECT_EQ(helper.Controls().optionHistory, (std::vector<std::string>{"/hw", "/ha"}));
    EXPECT_EQ(helper.Controls().optionText, "/hw");
    EXPECT_EQ(helper.Controls().getTextChoice, 2);
    EXPECT_FALSE(helper.Controls().showOnStartup);

    // Values outside the known ones leave the controls as they were.
    settings.AgthATrun = 7;
    main.method = 9;
    helper.Open();
    EXPECT_EQ(helper.Controls().getTextChoice, 2);
    EXPECT_FALSE(helper.Controls().showOnStartup);

    helper.Controls().optionText = "/ha";
    helper.OptionBoxExit();
    EXPECT_EQ(helper.Controls().optionHistory, (std::vector<std::string>{"/ha", "/hw"}));
    helper.AgthPathChosen(u"D:\\agth64.exe");
    EXPECT_EQ(settings.Agthpath, u"D:\\agth64.exe");   // at once, not only at closing
    helper.Controls().agthPath = u"E:\\agth.exe";
    helper.Closing();
    EXPECT_EQ(settings.AgthAToption, "/ha,/hw,,,,,,,,");
    EXPECT_EQ(settings.Agthpath, u"E:\\agth.exe");
}

TEST_F(HelperTest, ChoiceAndStartupSwitch)
{
    helper.GetTextChoiceClicked(3);
    helper.GetTextChoiceClicked(2);
    EXPECT_EQ(main.changes, (std::vector<int>{3, 2}));
    EXPECT_EQ(helper.Controls().getTextChoice, 2);
    helper.ShowOnStartupClicked(false);
    EXPECT_EQ(settings.AgthATrun, 0);
    helper.ShowOnStartupClicked(true);
    EXPECT_EQ(settings.AgthATrun, 1);
}

} // namespace
