#include "fake_game_folders.h"
#include "settings/game_profiles.h"
#include "settings/value_encodings.h"
#include "settings_fakes.h"

#include <gtest/gtest.h>

#include <map>

using namespace kx;
using namespace kx::testing;

namespace {

std::string Pair(std::u16string_view a, std::u16string_view b) { return EncodeHexText(a) + "," + EncodeHexText(b); }

AppSettings Global()
{
    AppSettings global;
    global.Codepage = 949;
    global.Server.model = "global-model";
    global.Filters.before = {{u"G1", u"g1"}};
    global.Filters.after = {{u"GA", u"ga"}};
    global.Server.glossary = {{u"Taro", u"global Taro"}, {u"Hanako", u"global Hanako"}};
    global.Hotkeys.Monitoring = "Ctrl+M";
    return global;
}

struct ProfilesFixture : ::testing::Test {
    FakeGameFolders folders;
    Latin1CodePages codePages;
    GameProfiles profiles{folders, codePages};

    ProfilesFixture() { profiles.SetGlobal(Global()); }
    AppSettings InUse()
    {
        AppSettings inUse = Global();
        profiles.ApplyTo(inUse);
        return inUse;
    }
};

TEST_F(ProfilesFixture, AProfileBuildsOnTheGlobalSettingsAndHoldsOnlyWhatAGameMay)
{
    folders.files[u"Game A\\profile.ini"] =
        "[Setting]\r\nCodepage=932\r\n[Engine]\r\nTimeoutS=90\r\nApiKey=0102\r\n[Hotkeys]\r\nMonitoring=F9\r\n"
        "[Substitutions]\r\nB0=" + Pair(u"A1", u"a1") + "\r\nA0=" + Pair(u"AA", u"aa") +
        "\r\n[Glossary]\r\nG0=" + Pair(u"Taro", u"game Taro") + "\r\nG1=" + Pair(u"Jiro", u"game Jiro") + "\r\n";
    EXPECT_EQ(profiles.Activate(u"Game A", false), std::vector<std::u16string>{u"Game profile: Game A"});
    const AppSettings inUse = InUse();
    EXPECT_EQ(inUse.Codepage, 932);
    EXPECT_EQ(inUse.Server.timeoutSeconds, 90);
    EXPECT_EQ(inUse.Server.model, "global-model");
    EXPECT_EQ(inUse.ServerApiKey, "");            // keys stay global
    EXPECT_EQ(inUse.Hotkeys.Monitoring, "Ctrl+M");
    EXPECT_EQ(inUse.Filters.before, (std::vector<Substitution>{{u"A1", u"a1"}, {u"G1", u"g1"}}));
    EXPECT_EQ(inUse.Filters.after, (std::vector<Substitution>{{u"AA", u"aa"}, {u"GA", u"ga"}}));
    EXPECT_EQ(inUse.Server.glossary, (std::vector<GlossaryEntry>{
                                         {u"Taro", u"game Taro"}, {u"Jiro", u"game Jiro"}, {u"Hanako", u"global Hanako"}}));
    EXPECT_EQ(inUse.ActiveProfile, u"Game A");

    EXPECT_EQ(profiles.Activate(u"", false), std::vector<std::u16string>{u"Game profile: none"});
    EXPECT_EQ(InUse(), Global());
}

TEST_F(ProfilesFixture, AMissingProfileIsMadeEmptyAndAChangeWritesOnlyWhatDiffersFromTheGlobalValue)
{
    profiles.Activate(u"\u30b2\u30fc\u30e0", true);
    EXPECT_EQ(folders.files.at(u"\u30b2\u30fc\u30e0\\profile.ini"), "");
    AppSettings own = profiles.Own();
    own.Codepage = 932;
    own.Server.model = "global-model";   // left as the global value
    own.Server.url = "http://gpu/v1/\xe9";  // ANSI text, kept in the file as UTF-8
    own.Filters.before = {{u"x", u"y"}};
    ASSERT_EQ(profiles.ChangeOwn(own), std::nullopt);
    EXPECT_EQ(folders.files.at(u"\u30b2\u30fc\u30e0\\profile.ini"),
              "[Setting]\r\nCodepage=932\r\n[Substitutions]\r\nB0=" + Pair(u"x", u"y") +
                  "\r\n[Engine]\r\nUrl=http://gpu/v1/\xc3\xa9\r\n");
    EXPECT_EQ(InUse().Server.url, "http://gpu/v1/\xe9");

    own.Codepage = 949;   // back to the global value: its key goes
    ASSERT_EQ(profiles.ChangeOwn(own), std::nullopt);
    EXPECT_EQ(folders.files.at(u"\u30b2\u30fc\u30e0\\profile.ini").find("Codepage"), std::string::npos);
    folders.writable = false;
    EXPECT_EQ(profiles.ChangeOwn(own), u"Unable to write to C:\\KX\\Games\\\u30b2\u30fc\u30e0\\profile.ini.");
}

TEST_F(ProfilesFixture, AProfileThatCannotBeReadWholeIsSaidOnceUsesTheGlobalValuesAndIsNeverWritten)
{
    const std::string badBytes = "[Setting]\r\nCodepage=932\r\n; \xff\xfe\r\n";
    const std::string badValue = "[Setting]\r\nCodepage=932\r\n[Engine]\r\nTimeoutS=9999\r\nPrompt=zz12\r\n";
    folders.files[u"Bytes\\profile.ini"] = badBytes;
    folders.files[u"Value\\profile.ini"] = badValue;

    std::vector<std::u16string> lines = profiles.Activate(u"Bytes", true);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(u"not UTF-8"), std::u16string::npos);
    EXPECT_EQ(InUse().Codepage, 949);

    lines = profiles.Activate(u"Value", true);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(u"(Engine/Prompt, Engine/TimeoutS)"), std::u16string::npos);
    EXPECT_EQ(InUse().Codepage, 932);   // what it could read is used
    EXPECT_EQ(InUse().Server.timeoutSeconds, 30);
    EXPECT_TRUE(profiles.ChangeOwn(profiles.Own()).has_value());
    EXPECT_EQ(folders.writes, 0);
    EXPECT_EQ(folders.files[u"Bytes\\profile.ini"], badBytes);
    EXPECT_EQ(folders.files[u"Value\\profile.ini"], badValue);
}

TEST_F(ProfilesFixture, AChangeMadeInForceGoesToTheGlobalSettingsUnlessItIsTheGamesAndTheProfileGivesWay)
{
    folders.files[u"G\\profile.ini"] = "[Setting]\r\nCodepage=932\r\n[Engine]\r\nKind=Server\r\n";
    profiles.Activate(u"G", false);
    AppSettings before = InUse();
    AppSettings after = before;
    after.Engine = EngineKind::EzTrans;   // the menu: the profile's own engine gives way
    after.Flood = 99;                     // not held by the profile: global
    after.Codepage = 936;                 // the dialog that writes the game's code page
    ASSERT_EQ(profiles.TakeChanges(before, after, {"Setting/Codepage"}), std::nullopt);
    EXPECT_EQ(profiles.Global().Flood, 99);
    EXPECT_EQ(profiles.Global().Codepage, 949);
    EXPECT_EQ(folders.files[u"G\\profile.ini"], "[Setting]\r\nCodepage=936\r\n[Engine]\r\n");
    EXPECT_EQ(InUse().Engine, EngineKind::EzTrans);

    profiles.Activate(u"", false);
    before = InUse();
    after = before;
    after.Codepage = 950;
    profiles.TakeChanges(before, after, {"Setting/Codepage"});
    EXPECT_EQ(profiles.Global().Codepage, 950);
}

TEST(ProfileNameTest, NamesAWindowsFolderCannotHaveAreRefused)
{
    for (std::u16string_view good : {u"Fate stay night", u"\u3072\u3050\u3089\u3057", u"a.b", u"CONSOLE", u"COM0"})
        EXPECT_EQ(ProfileNameProblem(good), std::nullopt);
    for (std::u16string_view bad : {u"", u"a:b", u"a/b", u"a\\b", u"a*", u"a?", u"\"a\"", u"<a>", u"a|b", u"a\tb",
                                    u"a.", u"a ", u"con", u"NUL.txt", u"lpt9", u"(none)"})
        EXPECT_TRUE(ProfileNameProblem(bad).has_value()) << std::string(bad.begin(), bad.end());
    EXPECT_EQ(ProfileNameProblem(std::u16string(64, u'\u3042')), std::nullopt);
    EXPECT_TRUE(ProfileNameProblem(std::u16string(65, u'a')).has_value());
}

TEST_F(ProfilesFixture, ProfilesAreListedInNameOrderWithoutTheFolderOfNoProfile)
{
    folders.extraFolders = {u"beta", u"(none)", u"Alpha", u"gamma"};
    EXPECT_EQ(profiles.Names(), (std::vector<std::u16string>{u"Alpha", u"beta", u"gamma"}));
}

} // namespace
