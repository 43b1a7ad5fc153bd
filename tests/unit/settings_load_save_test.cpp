#include "settings/settings_file.h"
#include "settings_fakes.h"
#include "settings_random.h"

#include <gtest/gtest.h>

#include <random>

using namespace kx;
using namespace kx::testing;

namespace {

constexpr Color kPresentBackground = 0x00ABCDEF;   // what the log view shows before the load

MainWindowState Load(const std::string& text, AppSettings& settings)
{
    return ReadSettings(IniFile::Parse(text), settings, kPresentBackground);
}

MainWindowState Load(const std::string& text)
{
    AppSettings settings;
    return Load(text, settings);
}

std::string Saved(const std::string& before, const AppSettings& settings, const MainWindowState& window)
{
    IniFile file = IniFile::Parse(before);
    WriteSettings(file, settings, window);
    return file.Serialize();
}

TEST(SettingsPathTest, FileBesideTheExecutable)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Games\\Kx\\KestruneEX.exe", "C:\\Games\\Kx\\KestruneEX.ini"},
        {"C:\\KestruneEX.exe", "C:\\KestruneEX.ini"},
        {"C:KestruneEX.exe", "C:KestruneEX.ini"},
        {"\\\\server\\share\\k.exe", "\\\\server\\share\\KestruneEX.ini"},
        {"C:\\dir.x\\sub/k.exe", "C:\\dir.x\\KestruneEX.ini"},
        {"KestruneEX.exe", "KestruneEX.ini"},
        {"", "KestruneEX.ini"},
    };
    for (const auto& [exe, ini] : cases)
        EXPECT_EQ(SettingsFilePath(exe), ini) << exe;
}

TEST(SettingsLoadTest, NoFileGivesEveryDefault)
{
    AppSettings settings;
    settings.Codepage = 1;
    settings.AgthATrun = 0;
    settings.ShortcutTable[3].Notes = "0041";
    const MainWindowState window = Load("", settings);

    EXPECT_EQ(settings, AppSettings{});
    EXPECT_EQ(window.top, 100);
    EXPECT_EQ(window.left, 100);
    EXPECT_EQ(window.height, 200);
    EXPECT_EQ(window.width, 640);
    EXPECT_EQ(window.alpha, 255);
    EXPECT_TRUE(window.alphaBlending);
    EXPECT_TRUE(window.translationChecked);
    EXPECT_FALSE(window.alwaysOnTopChecked);
    EXPECT_FALSE(window.stayOnTop);
    EXPECT_EQ(window.colorDialogColor, kPresentBackground);
    EXPECT_EQ(window.logViewBackground, std::nullopt);
    EXPECT_EQ(window.fontToApply, std::nullopt);
}

TEST(SettingsLoadTest, IntegersWithTheirDefaults)
{
    AppSettings settings;
    const MainWindowState window = Load("[Setting]\nCodepage=0x3B5\nFlood=abc\nFloodChk=2\nAncete=$1\nuot=-3\n"
                                        "[WindowsPos]\nMainTop=-20\nMainLeft=99999\nMainHeight=\nMainWidth=x10\n"
                                        "[Agth]\nAgthATrun=0\n",
                                        settings);
    EXPECT_EQ(settings.Codepage, 949);
    EXPECT_EQ(settings.Flood, 150);
    EXPECT_EQ(settings.FloodChk, 2);
    EXPECT_FALSE(settings.FloodTrimmingOn());
    EXPECT_EQ(settings.Ancete, 1);
    EXPECT_EQ(settings.uot, -3);
    EXPECT_EQ(settings.AgthATrun, 0);
    EXPECT_EQ(window.top, -20);
    EXPECT_EQ(window.left, 99999);
    EXPECT_EQ(window.height, 200);
    EXPECT_EQ(window.width, 16);
}

TEST(SettingsLoadTest, HotkeysAreDefaultsOnlyWhenMissing)
{
    AppSettings settings;
    settings.ClickThrough = 1;
    settings.Hotkeys.ShowHide = "F1";
    Load("[Setting]\nClickThrough=x\n[Hotkeys]\nMonitoring=Ctrl+Shift+F9\nTranslation=\nSubtitle=Ctrl+Bogus\n", settings);
    EXPECT_EQ(settings.ClickThrough, 0);
    EXPECT_EQ(settings.Hotkeys.Monitoring, "Ctrl+Shift+F9");
    EXPECT_EQ(settings.Hotkeys.Translation, "");        // switched off by the user
    EXPECT_EQ(settings.Hotkeys.Subtitle, "Ctrl+Bogus");  // kept for the user to mend
    EXPECT_EQ(settings.Hotkeys.ClickThrough, "Ctrl+Alt+C");
    EXPECT_EQ(settings.Hotkeys.ShowHide, "Ctrl+Alt+H");

    Load("[Setting]\nClickThrough=2\n", settings);
    EXPECT_EQ(settings.ClickThrough, 2);
    EXPECT_FALSE(settings.ClickThroughOn());
    Load("[Setting]\nClickThrough=1\n", settings);
    EXPECT_TRUE(settings.ClickThroughOn());
}

TEST(SettingsLoadTest, AlphaIsTheLowEightBitsAndZeroSwitchesBlendingOff)
{
    const std::tuple<const char*, int, bool> cases[] = {
        {"0", 0, false},   {"255", 255, true}, {"300", 44, true}, {"256", 0, false},
        {"-1", 255, true}, {"128", 128, true}, {"abc", 255, true}, {"$1FF", 255, true},
    };
    for (const auto& [stored, alpha, blending] : cases) {
        const MainWindowState window = Load(std::string("[WindowsTransparent]\nMainABV=") + stored + "\n");
        EXPECT_EQ(window.alpha, alpha) << stored;
        EXPECT_EQ(window.alphaBlending, blending) << stored;
    }
}

TEST(SettingsLoadTest, MenuChecksAreBooleans)
{
    const MainWindowState window = Load("[MainMenu]\nTranslation=5\nAot=1\n");
    EXPECT_TRUE(window.translationChecked);
    EXPECT_TRUE(window.alwaysOnTopChecked);
    EXPECT_TRUE(window.stayOnTop);
    EXPECT_NE(Saved("[MainMenu]\nTranslation=5\nAot=1\n", AppSettings{}, window).find("Translation=1\n"),
              std::string::npos);

    const MainWindowState off = Load("[MainMenu]\nTranslation=0\nAot=0\n");
    EXPECT_FALSE(off.translationChecked);
    EXPECT_FALSE(off.alwaysOnTopChecked);
    EXPECT_FALSE(off.stayOnTop);
}

TEST(SettingsLoadTest, BackgroundColourGoesToTheLogViewAndTheColourDialog)
{
    const std::tuple<std::string, std::optional<Color>> cases[] = {
        {"clRed", 0x000000FF},
        {"$00123456", 0x00123456},
        {"clbtnface", kClBtnFace},
        {"\x01" "clRed\x02", 0x000000FF},   // control characters around it are dropped
        {"", std::nullopt},
        {"\"  \"", std::nullopt},
        {"nonsense", std::nullopt},          // does not convert: as if missing
        {"$GG", std::nullopt},
    };
    for (const auto& [stored, color] : cases) {
        const MainWindowState window = Load("[Setting]\nTBgColor=" + stored + "\n");
        EXPECT_EQ(window.logViewBackground, color) << stored;
        EXPECT_EQ(window.colorDialogColor, color.value_or(kPresentBackground)) << stored;
    }
}

TEST(SettingsLoadTest, FontIsAppliedOnlyWhenItParses)
{
    const MainWindowState good = Load("[Setting]\nTMainFont=Arial,clRed,10,f,bu\n");
    ASSERT_TRUE(good.fontToApply.has_value());
    EXPECT_EQ(*good.fontToApply, (FontDescription{"Arial", 0x000000FF, 10, FontPitch::Fixed, true, false, true, false}));

    for (const char* bad : {"Arial,clRed,10,f", "Arial,clRedd,10,f,", "Arial,clRed,ten,f,", ""}) {
        const MainWindowState window = Load(std::string("[Setting]\nTMainFont=") + bad + "\n[MainMenu]\nAot=1\n");
        EXPECT_EQ(window.fontToApply, std::nullopt) << bad;
        EXPECT_TRUE(window.stayOnTop) << "always on top even with font " << bad;
    }
}

TEST(SettingsLoadTest, AgthPathIsHexText)
{
    const std::pair<const char*, std::u16string> cases[] = {
        {"0043003A005C0061", u"C:\\a"}, {"0043003a005c0061", u"C:\\a"}, {"0043003A005", u"C:"},
        {"", u""},                       {"00ZZ0041", u""},              {"D83DDE00", u"\U0001F600"},
    };
    for (const auto& [stored, path] : cases) {
        AppSettings settings;
        Load(std::string("[Agth]\nAgthpath=") + stored + "\n", settings);
        EXPECT_EQ(settings.Agthpath, path) << stored;
    }
}

TEST(SettingsLoadTest, ValuesThatDoNotDecodeStopNothing)
{
    AppSettings settings;
    const MainWindowState window =
        Load("[Setting]\nTBgColor=not a colour\nTMainFont=Arial,clNavy,9,v,i\n"
             "[Agth]\nAgthpath=zzzz\nAgthAToption=/H1,,,,,,,,,\nAgthATrun=0\n"
             "[MainMenu]\nAot=1\n"
             "[AgthSM99]\nGName=0041\nNotes=00\n",
             settings);
    EXPECT_EQ(settings.Agthpath, u"");
    EXPECT_EQ(settings.AgthAToption, "/H1,,,,,,,,,");
    EXPECT_EQ(settings.AgthATrun, 0);
    EXPECT_EQ(settings.ShortcutTable[99].GName, "0041");
    EXPECT_EQ(settings.ShortcutTable[99].Notes, "00");
    EXPECT_EQ(window.colorDialogColor, kPresentBackground);
    ASSERT_TRUE(window.fontToApply.has_value());
    EXPECT_EQ(window.fontToApply->color, 0x00800000u);
    EXPECT_TRUE(window.stayOnTop);
}

TEST(SettingsLoadTest, ShortcutRowsAreReadUndecodedEvenWithoutAName)
{
    AppSettings settings;
    Load("[AgthSM7]\nGName=\nAPath=0043\nAOption=zz\nTDelay=10\nNotes=0041000D000A\nGTMethod=3\n"
         "[AgthSM100]\nGName=0041\n",
         settings);
    const ShortcutEntry expected{"", "0043", "zz", "10", "0041000D000A", "3"};
    EXPECT_EQ(settings.ShortcutTable[7], expected);
    for (int row = 0; row < kShortcutRows; ++row) {
        if (row != 7) {
            EXPECT_EQ(settings.ShortcutTable[static_cast<std::size_t>(row)], ShortcutEntry{}) << row;
        }
    }
}

TEST(SettingsSaveTest, FirstSaveOfAMissingFileHasEveryKeyInOrder)
{
    AppSettings settings;
    settings.ShortcutTable[0] = {"0041", "0043003A", "", "5", "", "1"};
    MainWindowState window;
    window.colorDialogColor = kClWindow;
    std::string expected = "[Setting]\r\nAncete=0\r\nuot=0\r\nCodepage=932\r\nFlood=150\r\nFloodChk=1\r\n"
                           "ClickThrough=0\r\nTBgColor=clWindow\r\nTMainFont=Tahoma,clWindowText,8,d,\r\n"
                           "GetTextMethod=1\r\nHistory=1\r\n"  // the game profiles' method and profile, the history

                           "[WindowsPos]\r\nMainTop=100\r\nMainLeft=100\r\nMainHeight=200\r\nMainWidth=640\r\n"
                           "[WindowsTransparent]\r\nMainABV=255\r\n"
                           "[MainMenu]\r\nTranslation=1\r\nAot=0\r\n"
                           "[Agth]\r\nAgthpath=\r\nAgthAToption=\r\nAgthATrun=1\r\n"
                           "[AgthSM0]\r\nGName=0041\r\nAPath=0043003A\r\nAOption=\r\nTDelay=5\r\nNotes=\r\nGTMethod=1\r\n";
    for (int row = 1; row < kShortcutRows; ++row)
        expected += "[AgthSM" + std::to_string(row) +
                    "]\r\nGName=\r\nAPath=\r\nAOption=\r\nTDelay=\r\nNotes=\r\nGTMethod=\r\n";
    expected += "[Filters]\r\nRepeatChars=0\r\nRepeatPhrase=0\r\nSkipRepeat=0\r\n";
    expected += "[Hotkeys]\r\nMonitoring=Ctrl+Alt+M\r\nTranslation=Ctrl+Alt+T\r\nSubtitle=Ctrl+Alt+S\r\n"
                "ClickThrough=Ctrl+Alt+C\r\nShowHide=Ctrl+Alt+H\r\nRetranslate=Ctrl+Alt+R\r\nHideUntilNext=Ctrl+Alt+X\r\n";
    expected += "[Engine]\r\nKind=ezTrans\r\nUrl=http://127.0.0.1:8080/v1/chat/completions\r\nModel=\r\nPrompt=" +
                EncodeHexText(ServerSettings{}.prompt) + "\r\nTimeoutS=30\r\nApiKey=\r\n"
                "ContextLines=3\r\nContextTranslations=0\r\nStream=1\r\nMaxTokens=512\r\n"
                "Draft=None\r\nFallback=None\r\nKeepDraft=0\r\n";
    expected += "[Subtitle]\r\nOutlineColor=clBlack\r\nOutlineWidth=2\r\nShadow=1\r\nAlign=Bottom\r\n";
    expected += "[Capture]\r\nSource=Clipboard\r\nWebSocketUrl=ws://127.0.0.1:6677\r\nWebSocketUrl2=\r\n"
                "WebSocketUrl3=\r\nWebSocketUrl4=\r\n";
    expected += "[Profile]\r\nActive=\r\n";
    expected += "[DeepL]\r\nUrl=https://api-free.deepl.com/v2/translate\r\nApiKey=\r\n";
    expected += "[Papago]\r\nUrl=https://papago.apigw.ntruss.com/nmt/v1/translation\r\nKeyId=\r\nApiKey=\r\n"
                "Honorific=0\r\n";
    expected += "[Companion]\r\nEnabled=0\r\nPort=6678\r\nLan=0\r\n";
    EXPECT_EQ(Saved("", settings, window), expected);
}

TEST(SettingsEngineTest, ServerSettingsRoundTripWithThePromptAsHexText)
{
    AppSettings settings;
    settings.Engine = EngineKind::Server;
    settings.Server.url = "https://gpu-box.lan:8443/v1/chat/completions";
    settings.Server.model = "qwen2.5:14b";
    settings.Server.prompt = u"\uD55C\uAD6D\uC5B4\uB85C \"\u756A\u8A33\"\r\n\U0001F600";
    settings.Server.timeoutSeconds = 600;
    settings.Server.contextLines = 20;
    settings.Server.contextTranslations = 1;
    settings.Server.stream = 0;
    settings.Server.maxTokens = 4096;
    settings.Server.glossary = {{u"\u30A2\u30EA\u30B9", u"\uC568\uB9AC\uC2A4"}, {u"a,b", u""}};
    settings.ServerApiKey = "01FF7A";
    const std::string saved = Saved("", settings, MainWindowState{});
    EXPECT_NE(saved.find("Prompt=" + EncodeHexText(settings.Server.prompt) + "\r\n"), std::string::npos);
    EXPECT_NE(saved.find("[Glossary]\r\nG0=30A230EA30B9,C568B9ACC2A4\r\nG1=0061002C0062,\r\n[Subtitle]"),
              std::string::npos)
        << saved.substr(saved.find("[Engine]"));
    AppSettings loaded;
    Load(saved, loaded);
    EXPECT_EQ(loaded.Engine, EngineKind::Server);
    EXPECT_EQ(loaded.Server, settings.Server);
    EXPECT_EQ(loaded.ServerApiKey, "01FF7A");
}

TEST(SettingsEngineTest, UnknownKindOrBadValuesGiveTheDefaults)
{
    AppSettings loaded;
    loaded.Engine = EngineKind::Server;
    Load("[Engine]\nKind=server\nTimeoutS=0\nPrompt=zzzz\nContextLines=21\nMaxTokens=15\n"
         "[Glossary]\nG0=,0041\nG1=zz,00\n",
         loaded);
    EXPECT_EQ(loaded.Engine, EngineKind::EzTrans);  // the stored word is exact
    EXPECT_EQ(loaded.Server, ServerSettings{});
    Load("[Engine]\nKind=Server\nTimeoutS=601\nUrl=\nPrompt=\nContextLines=-1\nMaxTokens=4097\n", loaded);
    EXPECT_EQ(loaded.Engine, EngineKind::Server);
    EXPECT_EQ(loaded.Server.timeoutSeconds, 30);
    EXPECT_EQ(loaded.Server.contextLines, 3);
    EXPECT_EQ(loaded.Server.maxTokens, 512);
    EXPECT_EQ(loaded.Server.url, "");      // kept as written: the user sees it in the dialog
    EXPECT_EQ(loaded.Server.prompt, u"");  // an empty prompt is a choice
}

TEST(SettingsCaptureTest, SourceAndUrlRoundTripAndAnUnknownSourceIsTheClipboard)
{
    AppSettings settings;
    settings.Source = TextSource::WebSocket;
    settings.WebSocketUrl = "wss://127.0.0.1:2333/api/ws/text/origin";
    const std::string saved = Saved("", settings, MainWindowState{});
    EXPECT_NE(saved.find("[Capture]\r\nSource=WebSocket\r\nWebSocketUrl=wss://127.0.0.1:2333/api/ws/text/origin\r\n"),
              std::string::npos);
    AppSettings loaded;
    Load(saved, loaded);
    EXPECT_EQ(loaded.Source, TextSource::WebSocket);
    EXPECT_EQ(loaded.WebSocketUrl, settings.WebSocketUrl);
    Load("[Capture]\nSource=websocket\nWebSocketUrl=\n", loaded);
    EXPECT_EQ(loaded.Source, TextSource::Clipboard) << "the stored word is exact";
    EXPECT_EQ(loaded.WebSocketUrl, "") << "kept as written: the user sees it in the dialog";
    Load("", loaded);
    EXPECT_EQ(loaded.WebSocketUrl, "ws://127.0.0.1:6677");
    Load("[Capture]\nSource=Both\nWebSocketUrl2=ws://a:1\nWebSocketUrl4=ws://b:2\n", loaded);
    EXPECT_EQ(loaded.Source, TextSource::Both);
    EXPECT_EQ(loaded.WebSocketUrls(), (std::vector<std::string>{"ws://127.0.0.1:6677", "ws://a:1", "ws://b:2"}))
        << "the empty ones are no source";
    Load("[Capture]\nSource=None\n", loaded);
    EXPECT_EQ(loaded.Source, TextSource::None);
}

TEST(SettingsSubtitleTest, OddValuesReadAsTheDefaultOrAsWritten)
{
    const SubtitleLook d;
    const std::pair<std::string, SubtitleLook> cases[] = {
        {"OutlineColor=clRed\nOutlineWidth=0\nShadow=0\nAlign=top", {0x0000FF, 0, 0, StripAlign::Top}},
        {"OutlineColor= $00FFFFFF \nOutlineWidth=8\nShadow=7\nAlign=  TOP ", {0xFFFFFF, 8, 7, StripAlign::Top}},
        {"OutlineColor=clWindow\nOutlineWidth=$3\nAlign=Bottom", {kClWindow, 3, d.Shadow, StripAlign::Bottom}},
        {"OutlineColor=\nOutlineWidth=9\nShadow=\nAlign=", d},
        {"OutlineColor=black\nOutlineWidth=-1\nShadow=on\nAlign=Middle", d},
        {"OutlineColor=$1G\nOutlineWidth=2.5\nShadow=1x\nAlign=Topmost", d},
        {"OutlineWidth=99999999999\nShadow=-1", {d.OutlineColor, d.OutlineWidth, -1, d.Align}},
    };
    for (const auto& [lines, want] : cases) {
        AppSettings loaded;
        loaded.Subtitle = {0x123456, 5, 0, StripAlign::Top};   // a load replaces all of it
        Load("[Subtitle]\n" + lines + "\n", loaded);
        EXPECT_EQ(loaded.Subtitle, want) << lines;
    }
}

TEST(SettingsSaveTest, SubstitutionListsAreHexPairsEndingAtTheFirstMissingKey)
{
    AppSettings settings;
    settings.Filters.before = {{u"\u592a\u90ce", u"Taro"}, {u"\U0001F600", u""}};
    settings.Filters.after = {{u"a,b", u"c"}};
    // The file had longer lists and a hand-written key behind a gap.
    const std::string before = "[Substitutions]\nB0=x\nB1=x\nB2=0041,0042\nB3=0041,0042\nB5=0043,0044\nA0=0041,\n";
    const std::string saved = Saved(before, settings, MainWindowState{});
    EXPECT_NE(saved.find("B0=592A90CE,005400610072006F\nB1=D83DDE00,\nB5=0043,0044\nA0=0061002C0062,0063\n"),
              std::string::npos)
        << saved;
    AppSettings loaded;
    Load(saved, loaded);
    EXPECT_EQ(loaded.Filters.before, settings.Filters.before);
    EXPECT_EQ(loaded.Filters.after, settings.Filters.after);

    // Malformed pairs and empty finds are passed over; the list ends at a gap.
    Load("[Substitutions]\nB0=0041\nB1=zz,0042\nB2=,0042\nB3=0041,0042\nB5=0043,0044\n"
         "[Filters]\nRepeatChars=1\nRepeatPhrase=x\nSkipRepeat=$2\n",
         loaded);
    EXPECT_EQ(loaded.Filters.before, (std::vector<Substitution>{{u"A", u"B"}}));
    EXPECT_TRUE(loaded.Filters.after.empty());
    EXPECT_EQ(loaded.Filters.RepeatChars, 1);
    EXPECT_EQ(loaded.Filters.RepeatPhrase, 0);
    EXPECT_EQ(loaded.Filters.SkipRepeat, 2);
}

TEST(SettingsSaveTest, HandEditedLinesSurviveAndKnownKeysAreOverwritten)
{
    const std::string before = "; written by hand\r\n"
                               "[Setting]\r\n"
                               "Flood = 99\r\n"
                               "Extra=keep me\r\n"
                               "\r\n"
                               "[AgthSM100]\r\n"
                               "GName=0041\r\n"
                               "[agthsm3]\r\n"
                               "GName=0042 \r\n";
    AppSettings settings;
    settings.Flood = 150;
    MainWindowState window;
    window.colorDialogColor = 0x00123456;
    const std::string after = Saved(before, settings, window);
    const std::string head = "; written by hand\r\n"
                             "[Setting]\r\n"
                             "Flood = 150\r\n"
                             "Extra=keep me\r\n"
                             "Ancete=0\r\nuot=0\r\nCodepage=932\r\nFloodChk=1\r\nClickThrough=0\r\nTBgColor=$00123456\r\n"
                             "TMainFont=Tahoma,clWindowText,8,d,\r\nGetTextMethod=1\r\nHistory=1\r\n"
                             "\r\n"
                             "[AgthSM100]\r\n"
                             "GName=0041\r\n"
                             "[agthsm3]\r\n"
                             "GName=\r\nAPath=\r\nAOption=\r\nTDelay=\r\nNotes=\r\nGTMethod=\r\n"
                             "[WindowsPos]\r\n";
    EXPECT_EQ(after.substr(0, head.size()), head);
    EXPECT_EQ(after.find("[AgthSM3]"), std::string::npos);
    EXPECT_EQ(after.find("AgthSM101"), std::string::npos);
}

TEST(SettingsSaveTest, ColourDialogColourIsStoredNotTheLogViewsColour)
{
    MainWindowState window = Load("[Setting]\nTBgColor=clRed\n");
    window.logViewBackground = 0x00000000;   // shown otherwise at exit
    EXPECT_NE(Saved("[Setting]\nTBgColor=clRed\n", AppSettings{}, window).find("TBgColor=clRed\n"), std::string::npos);
}

struct SaveFixture : ::testing::Test {
    const std::string path = "C:\\Games\\KestruneEX.ini";
    FakeTextFiles files;
    FakePrompts prompts;
    Latin1CodePages codePages;
    SettingsFile file{path, files, prompts, codePages};
    AppSettings settings;
    MainWindowState window;
};

using SettingsFileTest = SaveFixture;

TEST_F(SettingsFileTest, SecondSaveOfAnUnchangedFileIsByteIdenticalAndNotRewritten)
{
    files.files[path] = "; mine\n[Setting]\nuot=1\n";
    window = LoadSettings(file, settings, kPresentBackground);
    ASSERT_TRUE(SaveSettings(file, settings, window));
    const std::string first = files.files[path];
    EXPECT_EQ(files.writes, 1);

    AppSettings again;
    const MainWindowState againWindow = LoadSettings(file, again, kPresentBackground);
    EXPECT_EQ(again, settings);
    ASSERT_TRUE(SaveSettings(file, again, againWindow));
    EXPECT_EQ(files.files[path], first);
    EXPECT_EQ(files.writes, 1);
    EXPECT_TRUE(prompts.appErrors.empty());
}

TEST_F(SettingsFileTest, FailedWriteIsReportedOnceAndLeavesTheFile)
{
    files.files[path] = "[Setting]\r\nFlood=10\r\n";
    window = LoadSettings(file, settings, kPresentBackground);
    settings.Flood = 20;
    files.failWrites = true;
    EXPECT_FALSE(SaveSettings(file, settings, window));
    EXPECT_EQ(prompts.appErrors, std::vector<std::u16string>{u"Unable to write to C:\\Games\\KestruneEX.ini."});
    EXPECT_TRUE(prompts.errors.empty());
    EXPECT_EQ(files.files[path], "[Setting]\r\nFlood=10\r\n");
}

TEST_F(SettingsFileTest, FileThatCannotBeReadAtSaveIsNotReplaced)
{
    window = LoadSettings(file, settings, kPresentBackground);
    files.files[path] = "[AgthSM0]\r\nGName=0041\r\n";
    files.unreadable.insert(path);
    EXPECT_FALSE(SaveSettings(file, settings, window));
    EXPECT_EQ(files.writes, 0);
    EXPECT_EQ(prompts.appErrors.size(), 1u);
}

TEST_F(SettingsFileTest, FileThatCouldNotBeReadAtLoadIsNotOverwrittenWithDefaults)
{
    files.files[path] = "[AgthSM0]\r\nGName=0041\r\n";
    files.unreadable.insert(path);
    window = LoadSettings(file, settings, kPresentBackground);
    EXPECT_EQ(settings.ShortcutTable[0].GName, "");
    files.unreadable.clear();   // readable again by the end of the run
    EXPECT_FALSE(SaveSettings(file, settings, window));
    EXPECT_EQ(files.files[path], "[AgthSM0]\r\nGName=0041\r\n");
    EXPECT_EQ(prompts.appErrors.size(), 1u);
}

std::string Utf16(std::u16string_view text, bool little)
{
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(little ? unit & 0xFF : unit >> 8));
        bytes.push_back(static_cast<char>(little ? unit >> 8 : unit & 0xFF));
    }
    return bytes;
}

TEST_F(SettingsFileTest, Utf16FileIsReadAndStaysUtf16)
{
    for (const bool little : {true, false}) {
        files.files[path] = Utf16(u"; r\u00E9glages\r\n[Setting]\r\nFlood=7\r\n", little);
        window = LoadSettings(file, settings, kPresentBackground);
        EXPECT_EQ(settings.Flood, 7);
        settings.Flood = 8;
        ASSERT_TRUE(SaveSettings(file, settings, window));
        const std::string& saved = files.files[path];
        EXPECT_EQ(saved.substr(0, 2 + 2 * 30), Utf16(u"; r\u00E9glages\r\n[Setting]\r\nFlood=8\r\n", little).substr(0, 62));
        AppSettings again;
        LoadSettings(file, again, kPresentBackground);
        EXPECT_EQ(again, settings);
    }
    EXPECT_TRUE(prompts.appErrors.empty());
}

// The code units of a UTF-16 file's bytes (behind the byte-order mark).
std::u16string Units(const std::string& bytes, bool little)
{
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(little ? first | (second << 8) : (first << 8) | second));
    }
    return units;
}

TEST_F(SettingsFileTest, Utf16FileWithCharactersOutsideTheAnsiCodePageIsEditedAsUtf16)
{
    // Characters the ANSI code page (here Latin-1) lacks: CJK, a surrogate
    // pair, an unpaired surrogate, and a key of our own holding such text.
    const std::u16string old = u"; \u4E00 \U0001F600 \xD800!\r\n[Setting]\r\nFlood=7\r\n[Own]\r\nname=\u65E5\u672C\r\n"
                               u"[Agth]\r\nAgthAToption=\u4E00\r\n";
    for (const bool little : {true, false}) {
        files.files[path] = Utf16(old, little);
        window = LoadSettings(file, settings, kPresentBackground);
        EXPECT_EQ(settings.Flood, 7);
        EXPECT_EQ(settings.AgthAToption, "?");   // read through the ANSI code page
        settings.Flood = 8;
        settings.AgthAToption = "\xE9t\xE9,/hw";
        ASSERT_TRUE(SaveSettings(file, settings, window));
        const std::string& saved = files.files[path];
        ASSERT_EQ(saved.substr(0, 2), little ? "\xFF\xFE" : "\xFE\xFF");
        const std::u16string text = Units(saved, little);
        EXPECT_EQ(text.substr(0, 46), u"; \u4E00 \U0001F600 \xD800!\r\n[Setting]\r\nFlood=8\r\nAncete=0\r\nuot=0")
            << "lines kept, Flood changed where it stands";
        EXPECT_NE(text.find(u"\r\n[Own]\r\nname=\u65E5\u672C\r\n"), std::u16string::npos);
        EXPECT_NE(text.find(u"\r\nAgthAToption=\u00E9t\u00E9,/hw\r\n"), std::u16string::npos);
        AppSettings again;
        LoadSettings(file, again, kPresentBackground);
        EXPECT_EQ(again, settings);
        // Saved again unchanged: nothing to write.
        const int writes = files.writes;
        ASSERT_TRUE(SaveSettings(file, settings, window));
        EXPECT_EQ(files.writes, writes);
    }
    EXPECT_TRUE(prompts.appErrors.empty());
}

TEST_F(SettingsFileTest, Utf16FileOfAnOddNumberOfBytesIsLeftAlone)
{
    const std::string old = Utf16(u"[Setting]\r\nFlood=7\r\n", true) + "x";
    files.files[path] = old;
    window = LoadSettings(file, settings, kPresentBackground);
    EXPECT_EQ(settings.Flood, 7);
    EXPECT_FALSE(SaveSettings(file, settings, window));
    EXPECT_EQ(files.files[path], old);
    EXPECT_EQ(files.writes, 0);
    EXPECT_EQ(prompts.appErrors.size(), 1u);
}

// --- Round trip --------------------------------------------------------------

TEST(SettingsRoundTripTest, RandomSettingsComeBackEqual)
{
    std::mt19937 random(20240601);
    for (int round = 0; round < 40; ++round) {
        AppSettings settings;
        settings.Codepage = RandomInt(random);
        settings.Flood = RandomInt(random);
        settings.FloodChk = RandomInt(random);
        settings.Ancete = RandomInt(random);
        settings.uot = RandomInt(random);
        settings.Agthpath = RandomUtf16(random, random() % 700);
        settings.AgthAToption = RandomLine(random, random() % 40);
        settings.AgthATrun = RandomInt(random);
        for (auto& row : settings.ShortcutTable) {
            if (random() % 3 == 0)
                continue;   // unused row
            row.GName = EncodeHexText(RandomUtf16(random, random() % 600));
            row.APath = EncodeHexText(RandomUtf16(random, random() % 300));
            row.AOption = EncodeHexText(RandomUtf16(random, random() % 50));
            row.TDelay = RandomLine(random, random() % 4);
            row.Notes = EncodeHexText(RandomUtf16(random, random() % 5000));
            row.GTMethod = RandomLine(random, random() % 3);
        }
        settings.Filters.RepeatChars = RandomInt(random);
        settings.Filters.RepeatPhrase = RandomInt(random);
        settings.Filters.SkipRepeat = RandomInt(random);
        for (auto* list : {&settings.Filters.before, &settings.Filters.after})
            for (int i = static_cast<int>(random() % 5); i > 0; --i)
                list->push_back({RandomUtf16(random, 1 + random() % 40), RandomUtf16(random, random() % 40)});
        settings.ClickThrough = RandomInt(random);
        settings.Source = random() % 2 ? TextSource::WebSocket : TextSource::Clipboard;
        settings.WebSocketUrl = RandomLine(random, random() % 60);
        settings.Subtitle = {static_cast<Color>(random()), static_cast<std::int32_t>(random() % 9), RandomInt(random),
                             random() % 2 ? StripAlign::Top : StripAlign::Bottom};
        // Hotkey texts are kept as written, blanks and all, whether or not they parse.
        for (std::string* hotkey : {&settings.Hotkeys.Monitoring, &settings.Hotkeys.Translation,
                                    &settings.Hotkeys.Subtitle, &settings.Hotkeys.ClickThrough,
                                    &settings.Hotkeys.ShowHide})
            *hotkey = random() % 3 == 0 ? std::string() : random() % 2 ? " ctrl + Shift+F9" : RandomLine(random, random() % 20);
        MainWindowState window;
        window.top = RandomInt(random);
        window.left = RandomInt(random);
        window.height = RandomInt(random);
        window.width = RandomInt(random);
        window.alpha = static_cast<std::uint8_t>(random());
        window.translationChecked = random() % 2;
        window.alwaysOnTopChecked = random() % 2;
        window.colorDialogColor = static_cast<Color>(random() % 2 ? random() : 0xFF000000u + random() % 31);
        std::string face = RandomLine(random, 1 + random() % 31);
        for (char& c : face)
            if (c == ',')
                c = '_';   // a face name holds no comma
        window.logViewFont = FontDescription{face, static_cast<Color>(random()), static_cast<std::int32_t>(1 + random() % kMaxFontPoints),
                                             static_cast<FontPitch>(random() % 3), random() % 2 == 0,
                                             random() % 2 == 0, random() % 2 == 0, random() % 2 == 0};

        FakeTextFiles files;
        FakePrompts prompts;
        Latin1CodePages codePages;
        SettingsFile file{"K.ini", files, prompts, codePages};
        if (round % 2)   // half of the rounds start from a hand-edited file
            files.files["K.ini"] = "; notes\n\n[Setting]\nuot = 7 \n[Own]\nx=y\n\n[AgthSM5]\nGName=zz\n";
        ASSERT_TRUE(SaveSettings(file, settings, window));
        const std::string first = files.files["K.ini"];

        AppSettings loaded;
        const MainWindowState back = LoadSettings(file, loaded, 0);
        ASSERT_EQ(loaded, settings) << "round " << round;
        EXPECT_EQ(back.top, window.top);
        EXPECT_EQ(back.left, window.left);
        EXPECT_EQ(back.height, window.height);
        EXPECT_EQ(back.width, window.width);
        EXPECT_EQ(back.alpha, window.alpha);
        EXPECT_EQ(back.alphaBlending, window.alpha != 0);
        EXPECT_EQ(back.translationChecked, window.translationChecked);
        EXPECT_EQ(back.alwaysOnTopChecked, window.alwaysOnTopChecked);
        EXPECT_EQ(back.stayOnTop, window.alwaysOnTopChecked);
        EXPECT_EQ(back.colorDialogColor, window.colorDialogColor);
        EXPECT_EQ(back.logViewBackground, window.colorDialogColor);
        EXPECT_EQ(back.fontToApply, window.logViewFont);
        if (round % 2) {
            EXPECT_NE(first.find("[Own]\nx=y\n\n"), std::string::npos);
        }

        ASSERT_TRUE(SaveSettings(file, loaded, back));
        EXPECT_EQ(files.files["K.ini"], first) << "round " << round;
        EXPECT_EQ(files.writes, 1);
        EXPECT_TRUE(prompts.appErrors.empty());
    }
}

} // namespace
