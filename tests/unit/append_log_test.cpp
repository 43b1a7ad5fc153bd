#include "capture/append_log.h"
#include "fake_log_view.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kx;
using kx::testing::FakeLogView;

namespace {

std::u16string AppendAll(AppSettings settings, std::u16string start, std::initializer_list<std::u16string> texts,
                         std::size_t wrap = 1000)
{
    FakeLogView view(wrap);
    view.text = std::move(start);
    for (const auto& t : texts)
        AppendLog(view, settings, t);
    return view.text;
}

TEST(AppendLogRules, PlainLinesAfterClearText)
{
    AppSettings settings;
    EXPECT_EQ(AppendAll(settings, u"", {u"T1", u"T2", u"T3"}), u"T1\r\nT2\r\nT3\r\n");
}

TEST(AppendLogRules, EmptyLineOnlyFromTheThirdTextOn)
{
    AppSettings settings;
    settings.Ancete = 1;
    EXPECT_EQ(AppendAll(settings, u"", {u"T1", u"T2", u"T3"}), u"T1\r\nT2\r\n\r\nT3\r\n");
    // Any other value than exactly 1 means no empty line.
    settings.Ancete = 2;
    EXPECT_EQ(AppendAll(settings, u"", {u"T1", u"T2", u"T3"}), u"T1\r\nT2\r\nT3\r\n");
}

TEST(AppendLogRules, StartUpTextWithoutClosingBreakGetsNewLastLine)
{
    AppSettings settings;
    EXPECT_EQ(AppendAll(settings, u"Title line\r\nOfficial site : x", {u"T"}),
              u"Title line\r\nOfficial site : x\r\nT");
    EXPECT_EQ(AppendAll(settings, u"single", {u"T"}), u"single\r\nT");
}

TEST(AppendLogRules, WrappedSingleLineCountsAsTwoLines)
{
    AppSettings settings;
    settings.Ancete = 1;
    // One long line that the view shows on two lines: the text goes behind it
    // with the empty-line separator, before the closing break.
    EXPECT_EQ(AppendAll(settings, u"0123456789ABC\r\n", {u"T"}, 10), u"0123456789ABC\r\n\r\nT\r\n");
    // The same line without wrapping is one line and gets a plain new line.
    EXPECT_EQ(AppendAll(settings, u"0123456789ABC\r\n", {u"T"}, 100), u"0123456789ABC\r\nT\r\n");
}

TEST(AppendLogRules, ReplaceModeOverwritesWholeLog)
{
    AppSettings settings;
    settings.uot = -3;  // any non-zero value is on
    FakeLogView view;
    view.text = u"old\r\nlog\r\n";
    AppendLog(view, settings, u"new");
    EXPECT_EQ(view.text, u"new");
    EXPECT_EQ(view.replacements, 1);
}

TEST(AppendLogRules, EmptyTextChangesNothing)
{
    AppSettings settings;
    FakeLogView view;
    view.text = u"a";
    AppendLog(view, settings, u"");
    settings.uot = 1;
    AppendLog(view, settings, u"");
    EXPECT_EQ(view.text, u"a");
    EXPECT_EQ(view.inserts + view.replacements, 0);
}

TEST(AppendLogRules, AppendsEditOnlyTheEnd)
{
    AppSettings settings;
    FakeLogView view;
    for (int i = 0; i < 50; ++i)
        AppendLog(view, settings, u"line");
    EXPECT_EQ(view.replacements, 0);
    EXPECT_EQ(view.inserts, 50);
}

// A batch must leave the view exactly as appending its texts one by one,
// from every kind of starting view, with every option and with wrapping.
TEST(AppendLogRules, BatchLeavesTheViewAsAppendingOneByOne)
{
    const std::u16string starts[] = {u"", u"a", u"a\r\n", u"start\r\nsite", u"x\r\ny\r\n", u"a very long first line"};
    const std::vector<std::vector<std::u16string>> batches = {
        {}, {u""}, {u"T1"}, {u"T1", u"T2"}, {u"T1", u"", u"T2", u"T3"}, {u"", u""}, {u"long wrapped text", u"b", u"c"}};
    for (int ancete : {0, 1})
        for (int uot : {0, 1})
            for (const auto& start : starts)
                for (const auto& texts : batches) {
                    SinkOptions options;
                    options.Ancete = ancete;
                    options.uot = uot;
                    FakeLogView oneByOne(8), batched(8);
                    oneByOne.text = batched.text = start;
                    for (const auto& t : texts)
                        AppendLog(oneByOne, options, t);
                    AppendLogBatch(batched, options, texts);
                    EXPECT_EQ(batched.text, oneByOne.text)
                        << "Ancete " << ancete << " uot " << uot << " start of " << start.size() << " units, "
                        << texts.size() << " texts";
                    EXPECT_LE(batched.inserts + batched.replacements, 3);
                }
}

} // namespace

TEST(AppendLogRules, ALineWrittenAgainChangesOnlyWhatDiffersAndStaysPutWhenLinesComeBehindIt)
{
    FakeLogView view;
    view.text = u"one\r\ntwo\r\n";
    RewritableLine line = AppendRewritableLine(view, SinkOptions{}, u"ab\U0001F600");
    ASSERT_TRUE(RewriteLine(view, line, u"ab\U0001F600cd"));
    EXPECT_EQ(view.lastReplaced, (FakeLogView::Replaced{14, 0, u"cd"}));
    ASSERT_TRUE(RewriteLine(view, line, u"ab\U0001F601cd"));  // a pair replaced whole
    EXPECT_EQ(view.lastReplaced, (FakeLogView::Replaced{12, 2, u"\U0001F601"}));
    AppendLineToView(view, u"behind");
    ASSERT_TRUE(RewriteLine(view, line, u"whole"));
    EXPECT_EQ(view.text, u"one\r\ntwo\r\nwhole\r\nbehind\r\n");
    view.text = u"cleared";
    EXPECT_FALSE(RewriteLine(view, line, u"again"));
    EXPECT_EQ(view.text, u"cleared");
}
