#include "settings/advanced_settings.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kx;

namespace {

struct FakeMainWindow : AdvancedSettingsHost {
    WindowAlpha window{255, true};
    std::vector<WindowAlpha> changes;

    WindowAlpha MainWindowAlpha() const override { return window; }
    void SetMainWindowAlpha(WindowAlpha alpha) override
    {
        window = alpha;
        changes.push_back(alpha);
    }
    void ChangeLogBackground() override {}
    void SubtitleLookChanged() override { ++lookChanges; }
    int lookChanges = 0;
};

struct DialogTest : ::testing::Test {
    AppSettings settings;
    FakeMainWindow main;
    AdvancedSettings dialog{settings, main};
};

TEST(CharacterSetTable, TwelveEntriesInListOrder)
{
    const std::vector<std::pair<std::u16string, int>> expected = {
        {u"SHIFTJIS", 932}, {u"HANGUL", 949},      {u"DEFAULT", 1252}, {u"EASTEUROPE", 1250},
        {u"GB2312", 936},   {u"GREEK", 1253},      {u"BALTIC", 1257},  {u"CHINESEBIG5", 950},
        {u"TURKISH", 1254}, {u"ARABIC", 1256},     {u"HEBREW", 1255},  {u"THAI", 874},
    };
    ASSERT_EQ(CharacterSets().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(std::u16string(CharacterSets()[i].name), expected[i].first) << i;
        EXPECT_EQ(CharacterSets()[i].codePage, expected[i].second) << i;
        EXPECT_EQ(CharacterSetIndex(expected[i].second), static_cast<int>(i));
    }
    EXPECT_EQ(CharacterSetIndex(0), std::nullopt);
    EXPECT_EQ(CharacterSetIndex(65001), std::nullopt);
}

TEST(TransparencyRules, PositionAlphaAndPercentage)
{
    EXPECT_EQ(AlphaForTransparency(0), (WindowAlpha{255, false}));
    EXPECT_EQ(AlphaForTransparency(1), (WindowAlpha{254, true}));
    EXPECT_EQ(AlphaForTransparency(255), (WindowAlpha{0, true}));
    EXPECT_EQ(TransparencyForAlpha({128, true}), 127);
    EXPECT_EQ(TransparencyForAlpha({255, true}), 0);
    EXPECT_EQ(TransparencyForAlpha({0, true}), 255);
    // Blending off is opaque: the track bar stands at OFF.
    EXPECT_EQ(TransparencyForAlpha({0, false}), 0);
    EXPECT_EQ(TransparencyText(0), u"0%");
    EXPECT_EQ(TransparencyText(2), u"0%");
    EXPECT_EQ(TransparencyText(3), u"1%");
    EXPECT_EQ(TransparencyText(127), u"49%");
    EXPECT_EQ(TransparencyText(128), u"50%");
    EXPECT_EQ(TransparencyText(254), u"99%");
    EXPECT_EQ(TransparencyText(255), u"100%");
}

TEST(LetterCountRules, KeyFilterAndNumbers)
{
    for (char16_t c = 0; c < 0x200; ++c) {
        const bool wanted = (c >= u'0' && c <= u'9') || c == 8 || c == 13 || c == 25;
        EXPECT_EQ(LetterCountKeyAccepted(c), wanted) << static_cast<int>(c);
    }
    EXPECT_FALSE(LetterCountKeyAccepted(u'０'));   // full-width digit

    EXPECT_EQ(ParseLetterCount(u"0"), 0);
    EXPECT_EQ(ParseLetterCount(u"150"), 150);
    EXPECT_EQ(ParseLetterCount(u"-7"), -7);
    EXPECT_EQ(ParseLetterCount(u" +12"), 12);
    EXPECT_EQ(ParseLetterCount(u"2147483647"), 2147483647);
    EXPECT_EQ(ParseLetterCount(u"-2147483648"), INT32_MIN);
    // Pasted text is read by the settings file's whole-number rule.
    for (std::u16string hex : {u"$10", u"x10", u"X10", u"0x10", u"0X10", u" $10"})
        EXPECT_EQ(ParseLetterCount(hex), 16) << std::string(hex.begin(), hex.end());
    EXPECT_EQ(ParseLetterCount(u"$FFFFFFFF"), -1);
    for (std::u16string bad : {u"", u" ", u"2147483648", u"12a", u"1 2", u"12 ", u"$", u"0x", u"$1G", u"١٢",
                               u"1.5", u"--1", u"$１"})
        EXPECT_EQ(ParseLetterCount(bad), std::nullopt) << std::string(bad.begin(), bad.end());
    EXPECT_EQ(InvalidIntegerMessage(u""), u"'' is not a valid integer value");
    EXPECT_EQ(InvalidIntegerMessage(u"12a"), u"'12a' is not a valid integer value");
}

TEST_F(DialogTest, OpeningShowsTheSettings)
{
    settings.Ancete = 1;
    settings.uot = 2;   // replace mode, but the box shows exactly 1 only
    settings.FloodChk = 1;
    settings.Flood = -40;
    settings.Codepage = 1255;
    dialog.Open();
    const AdvancedSettingsControls& c = dialog.Controls();
    EXPECT_TRUE(c.newLineBetweenTexts);
    EXPECT_FALSE(c.updateOriginalText);
    EXPECT_EQ(c.characterSet, 10);
    EXPECT_TRUE(c.floodDetection);
    EXPECT_EQ(c.letterCount, u"-40");
    EXPECT_EQ(settings.Codepage, 1255);

    settings.Ancete = 0;
    settings.uot = 1;
    settings.FloodChk = 2;
    settings.Codepage = 949;
    dialog.Open();
    EXPECT_FALSE(c.newLineBetweenTexts);
    EXPECT_TRUE(c.updateOriginalText);
    EXPECT_FALSE(c.floodDetection);
    EXPECT_EQ(c.characterSet, 1);
}

TEST_F(DialogTest, UnknownCodePageBecomes932AndTheListKeepsItsSelection)
{
    settings.Codepage = 65001;
    dialog.Open();
    EXPECT_EQ(settings.Codepage, 932);
    EXPECT_EQ(dialog.Controls().characterSet, std::nullopt);
    dialog.Cancel();
    EXPECT_EQ(settings.Codepage, 932);

    settings.Codepage = 936;
    dialog.Open();
    settings.Codepage = 0;   // the system's code page is none of the list
    dialog.Open();
    EXPECT_EQ(settings.Codepage, 932);
    EXPECT_EQ(dialog.Controls().characterSet, 4);
}

TEST_F(DialogTest, OpeningPlacesTheTrackBarAndRunsItsRuleWhenItMoves)
{
    main.window = {255, true};
    dialog.Open();
    EXPECT_EQ(dialog.Controls().transparency, 0);
    EXPECT_EQ(dialog.Controls().transparencyText, u"0%");
    EXPECT_TRUE(main.changes.empty());   // did not move
    EXPECT_EQ(dialog.SavedAlpha(), 255);

    main.window = {128, true};
    dialog.Open();
    EXPECT_EQ(dialog.Controls().transparency, 127);
    EXPECT_EQ(dialog.Controls().transparencyText, u"49%");
    EXPECT_EQ(main.changes, (std::vector<WindowAlpha>{{128, true}}));
    EXPECT_EQ(dialog.SavedAlpha(), 128);

    // A window the user made fully transparent himself stays so.
    main.window = {0, true};
    dialog.Open();
    EXPECT_EQ(dialog.Controls().transparency, 255);
    EXPECT_EQ(dialog.Controls().transparencyText, u"100%");
    EXPECT_EQ(main.window, (WindowAlpha{0, true}));
}

TEST_F(DialogTest, StoredAlphaZeroOpensAtOffAndKeepsTheWindowOpaque)
{
    // MainABV=0 loads as alpha 0 with blending off: an opaque window.
    main.window = {0, false};
    dialog.Open();
    EXPECT_EQ(dialog.Controls().transparency, 0);
    EXPECT_EQ(dialog.Controls().transparencyText, u"0%");
    EXPECT_TRUE(main.changes.empty());
    EXPECT_FALSE(main.window.blending);
    dialog.Cancel();
    EXPECT_FALSE(main.window.blending) << "Cancel must not switch blending on at alpha 0";
    EXPECT_EQ(main.window.alpha, 0);

    // With the track bar left elsewhere by an earlier opening, opening moves
    // it to OFF, whose rule makes the window plainly opaque.
    dialog.TrackBarChanged(100);
    main.window = {0, false};
    main.changes.clear();
    dialog.Open();
    EXPECT_EQ(dialog.Controls().transparency, 0);
    EXPECT_EQ(main.changes, (std::vector<WindowAlpha>{{255, false}}));
    EXPECT_EQ(dialog.SavedAlpha(), 255);
}

TEST_F(DialogTest, TrackBarChangesTheWindowAtOnceAndCancelPutsItBack)
{
    main.window = {200, true};
    dialog.Open();
    dialog.TrackBarChanged(1);
    EXPECT_EQ(main.window, (WindowAlpha{254, true}));
    EXPECT_EQ(dialog.Controls().transparencyText, u"0%");
    dialog.TrackBarChanged(0);
    EXPECT_EQ(main.window, (WindowAlpha{255, false}));
    dialog.Cancel();
    EXPECT_EQ(main.window, (WindowAlpha{200, true}));

    // Saved 255: Cancel switches blending off, by the rule of position 0.
    main.window = {255, true};
    dialog.Open();
    dialog.TrackBarChanged(90);
    dialog.Cancel();
    EXPECT_EQ(main.window, (WindowAlpha{255, false}));

    // OK keeps the transparency as it is now.
    main.window = {255, true};
    dialog.Open();
    dialog.TrackBarChanged(50);
    EXPECT_TRUE(dialog.Ok().close);
    EXPECT_EQ(main.window, (WindowAlpha{205, true}));
}

TEST_F(DialogTest, OkTakesEveryControlOver)
{
    dialog.Open();
    AdvancedSettingsControls& c = dialog.Controls();
    c.newLineBetweenTexts = true;
    c.updateOriginalText = true;
    c.floodDetection = false;
    c.characterSet = 1;
    c.letterCount = u"0";
    EXPECT_TRUE(c.history) << "on by default";
    c.history = false;
    const OkResult result = dialog.Ok();
    EXPECT_TRUE(result.close);
    EXPECT_FALSE(result.error);
    EXPECT_EQ(settings.History, 0);
    EXPECT_EQ(settings.Ancete, 1);
    EXPECT_EQ(settings.uot, 1);
    EXPECT_EQ(settings.FloodChk, 0);
    EXPECT_EQ(settings.Flood, 0);
    EXPECT_EQ(settings.Codepage, 949);

    // No selection gives 932.
    settings.Codepage = 65001;
    AdvancedSettings fresh(settings, main);
    fresh.Open();
    EXPECT_TRUE(fresh.Ok().close);
    EXPECT_EQ(settings.Codepage, 932);
}

TEST_F(DialogTest, BadLetterCountStopsOkAfterTheCheckBoxes)
{
    settings.Codepage = 949;
    settings.Flood = 150;
    dialog.Open();
    AdvancedSettingsControls& c = dialog.Controls();
    c.newLineBetweenTexts = true;
    c.updateOriginalText = true;
    c.floodDetection = false;
    c.characterSet = 0;
    c.letterCount = u"";
    OkResult result = dialog.Ok();
    EXPECT_FALSE(result.close);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(*result.error, u"'' is not a valid integer value");
    EXPECT_EQ(settings.Ancete, 1);
    EXPECT_EQ(settings.uot, 1);
    EXPECT_EQ(settings.FloodChk, 0);
    EXPECT_EQ(settings.Flood, 150);
    EXPECT_EQ(settings.Codepage, 949);

    c.letterCount = u"99999999999";
    result = dialog.Ok();
    EXPECT_FALSE(result.close);
    EXPECT_EQ(result.error, u"'99999999999' is not a valid integer value");

    c.letterCount = u"80";
    EXPECT_TRUE(dialog.Ok().close);
    EXPECT_EQ(settings.Flood, 80);
    EXPECT_EQ(settings.Codepage, 932);
}

TEST_F(DialogTest, CancelAppliesNothingAndTheNextOpeningShowsTheSettingsAgain)
{
    dialog.Open();
    dialog.Controls().newLineBetweenTexts = true;
    dialog.Controls().characterSet = 5;
    dialog.Controls().letterCount = u"3";
    dialog.Cancel();
    EXPECT_EQ(settings, AppSettings{});
    dialog.Open();
    EXPECT_FALSE(dialog.Controls().newLineBetweenTexts);
    EXPECT_EQ(dialog.Controls().characterSet, 0);
    EXPECT_EQ(dialog.Controls().letterCount, u"150");
}

TEST(OutlineWidthRules, DigitsFromZeroToEight)
{
    EXPECT_EQ(ParseOutlineWidth(u"0"), 0);
    EXPECT_EQ(ParseOutlineWidth(u"8"), 8);
    EXPECT_EQ(ParseOutlineWidth(u"03"), 3);
    for (std::u16string bad : {u"", u"9", u"10", u"-1", u"+2", u" 2", u"2 ", u"$2", u"\uFF12", u"00000000002"})
        EXPECT_EQ(ParseOutlineWidth(bad), std::nullopt) << std::string(bad.begin(), bad.end());
}

TEST_F(DialogTest, SubtitleLookAppliesAtOnceAndCancelPutsItBack)
{
    const SubtitleLook atOpening{0x00FF00, 3, 7, StripAlign::Top};
    settings.Subtitle = atOpening;
    dialog.Open();
    AdvancedSettingsControls& c = dialog.Controls();
    EXPECT_EQ(c.outlineColor, 0x00FF00u);
    EXPECT_EQ(c.outlineWidth, u"3");
    EXPECT_FALSE(c.shadow);   // only 1 is on

    dialog.OutlineColorChosen(0x0000FF);
    dialog.OutlineWidthTyped(u"");    // half typed: nothing applies
    dialog.OutlineWidthTyped(u"9");
    EXPECT_EQ(settings.Subtitle.OutlineWidth, 3);
    dialog.OutlineWidthLeft();
    EXPECT_EQ(c.outlineWidth, u"3");
    dialog.OutlineWidthTyped(u"5");
    dialog.OutlineWidthTyped(u"05");  // the same width: not drawn again
    dialog.ShadowClicked(true);
    EXPECT_EQ(settings.Subtitle, (SubtitleLook{0x0000FF, 5, 1, StripAlign::Top}));
    EXPECT_EQ(c.outlineColor, 0x0000FFu);
    EXPECT_EQ(main.lookChanges, 3);

    dialog.Cancel();
    EXPECT_EQ(settings.Subtitle, atOpening);
    EXPECT_EQ(main.lookChanges, 4);

    // OK keeps what was applied; Cancel without changes draws nothing again.
    dialog.Open();
    dialog.ShadowClicked(true);
    EXPECT_TRUE(dialog.Ok().close);
    EXPECT_EQ(settings.Subtitle.Shadow, 1);
    dialog.Open();
    dialog.Cancel();
    EXPECT_EQ(main.lookChanges, 5);
}

} // namespace
