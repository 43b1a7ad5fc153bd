#include "app/main_window_model.h"
#include "app/program_title.h"
#include "app/subtitle_mode.h"
#include "common/app_error.h"
#include "capture/capture_pause.h"
#include "translate/translation_switch.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kx;

namespace {

TEST(SubtitleHitTestTable, CornersWinOverEdges)
{
    const int w = 300, h = 100;
    struct Case {
        int x, y;
        HitArea expected;
    };
    const Case cases[] = {
        {0, 0, HitArea::TopLeft},       {3, 3, HitArea::TopLeft},        {297, 0, HitArea::TopRight},
        {299, 99, HitArea::BottomRight}, {0, 97, HitArea::BottomLeft},   {0, 50, HitArea::Left},
        {150, 2, HitArea::Top},         {299, 50, HitArea::Right},       {150, 99, HitArea::Bottom},
        {4, 4, HitArea::Default},       {296, 96, HitArea::Default},     {150, 50, HitArea::Default},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SubtitleHitTest(c.x, c.y, w, h), c.expected) << c.x << "," << c.y;
    EXPECT_EQ(static_cast<int>(HitArea::BottomRight), 17);
}

struct RecordingHost : CapturePauseHost {
    bool monitoring = true;
    std::vector<unsigned> starts;
    int stops = 0;
    void SetMonitoring(bool on) override { monitoring = on; }
    void StartTimer(unsigned ms) override { starts.push_back(ms); }
    void StopTimer() override { ++stops; }
};

TEST(CapturePauseRules, PauseRestartsAndEndsBySettingCapture)
{
    RecordingHost host;
    StartCapturePause(host, 30);
    StartCapturePause(host, 10);
    EXPECT_FALSE(host.monitoring);
    EXPECT_EQ(host.starts, (std::vector<unsigned>{30000, 10000}));
    TransTimerTimer(host);
    EXPECT_TRUE(host.monitoring);
    EXPECT_EQ(host.stops, 1);

    StartCapturePause(host, 15);
    StartCapturePause(host, 0);  // no pause: capture on at once, timer stopped
    EXPECT_TRUE(host.monitoring);
    EXPECT_EQ(host.stops, 2);
}

TEST(TranslationSwitchRules, DisabledItemNeitherTogglesNorTranslates)
{
    TranslationSwitch sw;
    EXPECT_TRUE(sw.Active());
    sw.Toggle();
    EXPECT_FALSE(sw.Active());
    sw.Toggle();
    sw.enabled = false;
    sw.Toggle();
    EXPECT_TRUE(sw.checked);
    EXPECT_FALSE(sw.Active());
}

TEST(ApplicationTexts, TitleAndFullStopRule)
{
    EXPECT_EQ(BuildProgramTitle("0.3.0.68"), "KestruneEX! v0.3.0.68 DivuvEvir");
    EXPECT_EQ(BuildProgramTitle(""), "KestruneEX! v DivuvEvir");
    EXPECT_EQ(WithClosingFullStop("Cannot open clipboard"), "Cannot open clipboard.");
    EXPECT_EQ(WithClosingFullStop("'$G0' is not a valid integer value"), "'$G0' is not a valid integer value.");
    EXPECT_EQ(WithClosingFullStop("Done."), "Done.");
    EXPECT_EQ(WithClosingFullStop("Why?"), "Why?.");  // '?' sorts after '.'
    EXPECT_EQ(WithClosingFullStop("a-"), "a-");      // '-' sorts before '.'
    EXPECT_EQ(WithClosingFullStop(""), "");
}

} // namespace

#include "app/save_text.h"

namespace {

TEST(SavedLogFile, LittleEndianWithByteOrderMark)
{
    EXPECT_EQ(kx::SavedLogBytes(u""), std::string("\xFF\xFE", 2));
    EXPECT_EQ(kx::SavedLogBytes(u"ab"), std::string("\xFF\xFE" "a\0b\0", 6));
    EXPECT_EQ(kx::SavedLogBytes(u"가\r\n"), std::string("\xFF\xFE\x00\xAC\r\0\n\0", 8));
}

} // namespace

struct FakeClock : ClockPort {
    std::int64_t now = 1000;
    std::int64_t NowMs() override { return now; }
};

TEST(MainWindowModelRules, SubtitleModeSetsReplaceTopMostAndRememberedClickThrough)
{
    AppSettings settings;
    settings.ClickThrough = 1;
    MainWindowModel model(settings);
    EXPECT_TRUE(model.ShortcutsActive());
    EXPECT_FALSE(model.ToggleClickThrough()) << "the normal window always takes clicks";
    EXPECT_EQ(std::u16string(model.ContextMenu().subtitleItem), u"&Enter subtitle mode");

    model.EnterSubtitleMode();
    EXPECT_FALSE(model.ShortcutsActive()) << "no menu, no shortcut keys in the strip";
    EXPECT_TRUE(model.AlwaysOnTopChecked());
    EXPECT_EQ(settings.uot, 1);
    EXPECT_TRUE(model.ClickThrough());
    const ContextMenuState menu = model.ContextMenu();
    EXPECT_EQ(std::u16string(menu.subtitleItem), u"&Exit subtitle mode");
    EXPECT_TRUE(menu.clickThroughEnabled && menu.clickThroughChecked);
    EXPECT_TRUE(model.ToggleClickThrough());
    EXPECT_EQ(settings.ClickThrough, 0);

    model.LeaveSubtitleMode();
    EXPECT_FALSE(model.AlwaysOnTopChecked());
    EXPECT_EQ(settings.uot, 0);
    EXPECT_FALSE(model.ContextMenu().clickThroughEnabled);
}

TEST(MainWindowModelRules, TextsAreReadWithTheSwitchesOfTheMomentAndNoneAfterClosing)
{
    AppSettings settings;
    settings.Codepage = 949;
    MainWindowModel model(settings);
    EXPECT_FALSE(model.Switches().translate) << "no engine ready yet";
    model.SetTranslationPossible(true);
    EXPECT_TRUE(model.Switches().translate);
    model.ToggleTranslation();
    EXPECT_FALSE(model.Switches().translate);
    model.SetTranslationPossible(false);
    model.ToggleTranslation();
    EXPECT_FALSE(model.Translation().checked) << "a greyed item does not toggle";

    EXPECT_FALSE(model.SetGetTextMethod(7));
    EXPECT_TRUE(model.SetGetTextMethod(HexReverse));
    model.SetEngine(EngineKind::Server);
    EXPECT_EQ(model.Switches().filters, nullptr);
    model.PublishFilters();
    const CaptureSwitches now = model.Switches();
    EXPECT_EQ(now.method, HexReverse);
    EXPECT_EQ(now.options.Codepage, 949);
    EXPECT_EQ(now.engines.main, IdOf(EngineKind::Server));
    ASSERT_NE(now.filters, nullptr);

    EXPECT_TRUE(now.monitoring);
    EXPECT_EQ(now.source, TextSource::Clipboard);
    std::uint64_t before = model.Revision();
    model.SetTextSource(TextSource::WebSocket);
    EXPECT_GT(model.Revision(), before) << "the radio items follow";
    EXPECT_EQ(model.Switches().source, TextSource::WebSocket);
    EXPECT_EQ(settings.Source, TextSource::WebSocket) << "saved at exit";
    before = model.Revision();
    model.ToggleMonitoring();
    EXPECT_GT(model.Revision(), before);
    model.ToggleMonitoring();
    model.BeginClosing();
    EXPECT_FALSE(model.Switches().monitoring);

    // The format read decides the method.
    EXPECT_EQ(MethodForRead(HexSequential, true), UnicodeText);
    EXPECT_EQ(MethodForRead(UnicodeText, false), Ascii);
    EXPECT_EQ(MethodForRead(HexSequential, false), HexSequential);
}

TEST(TurnThrottleRules, BurstTurnsWaitForTheGapAQuietTextGoesAtOnce)
{
    FakeClock clock;
    TurnThrottle throttle(clock, 25);
    EXPECT_EQ(throttle.OnTurnAsked(), std::nullopt) << "the first turn runs at once";
    throttle.OnTurnRun();
    throttle.OnTurnEnd(true);
    clock.now += 10;
    EXPECT_EQ(throttle.OnTurnAsked(), std::optional<unsigned>(15u));
    EXPECT_EQ(throttle.OnTurnAsked(), std::optional<unsigned>(0u)) << "the armed timer takes it";
    clock.now += 15;
    throttle.OnTurnRun();
    throttle.OnTurnEnd(true);
    EXPECT_FALSE(throttle.TimerArmed());
    clock.now += 25;
    EXPECT_EQ(throttle.OnTurnAsked(), std::nullopt) << "after a quiet moment: at once";
    throttle.OnTurnRun();
    throttle.OnTurnEnd(true);
    clock.now += 1;
    ASSERT_EQ(throttle.OnTurnAsked(), std::optional<unsigned>(24u));
    throttle.TimerFailed();
    EXPECT_FALSE(throttle.TimerArmed());
    clock.now += 25;
    throttle.OnTurnRun();
    throttle.OnTurnEnd(false);  // it only handed a text to the engine
    clock.now += 1;
    EXPECT_EQ(throttle.OnTurnAsked(), std::nullopt) << "the answer's turn follows at once";
    throttle.OnTurnRun();
    clock.now += 5;
    throttle.OnTurnEnd(true);
    EXPECT_EQ(throttle.OnTurnAsked(), std::optional<unsigned>(20u)) << "counted from the start of the turn";
}

// The draft and the fallback are other engines than the main one, also when
// the file says otherwise.
TEST(MainWindowRules, TheDraftAndTheFallbackAreNeverTheMainEngine)
{
    AppSettings settings;
    MainWindowModel model(settings);
    EXPECT_FALSE(model.SetDraftEngine(EngineKind::EzTrans));
    EXPECT_TRUE(model.SetDraftEngine(EngineKind::Server));
    EXPECT_TRUE(model.SetFallbackEngine(EngineKind::DeepL));
    model.SetKeepDraft(true);
    EXPECT_EQ(model.Switches().engines, (EngineRoles{0, 1, 2, true}));
    model.SetEngine(EngineKind::Server);  // the draft's engine becomes the main one
    EXPECT_EQ(settings.DraftEngine, std::nullopt);
    EXPECT_EQ(model.Switches().engines, (EngineRoles{1, std::nullopt, 2, false}));
    settings.FallbackEngine = EngineKind::Server;
    EXPECT_EQ(model.Switches().engines.fallback, std::nullopt);
}
