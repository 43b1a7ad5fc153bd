#include "capture/clipboard_watcher.h"
#include "common/app_error.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace kx;

namespace {

constexpr ClipboardWatcher::ReadSwitches kOn{true, false};
constexpr ClipboardWatcher::ReadSwitches kOff{false, false};

struct FakeClipboard : ClipboardPort {
    WindowId joinAnswer = 77;
    bool hasText = true;
    bool ownCopy = false;
    std::optional<std::string> text = std::string("line");
    std::uint32_t sequence = 1;
    std::optional<std::string> changeBeforeRead;  // another program copies between the two looks
    int reads = 0;
    bool readUnicode = false;
    std::vector<WindowId> drawForwards;
    struct ChainForward {
        WindowId to, removed, following;
    };
    std::vector<ChainForward> chainForwards;
    WindowId leftWith = 0;

    WindowId JoinViewerChain() override { return joinAnswer; }
    void LeaveViewerChain(WindowId next) override { leftWith = next; }
    std::uint32_t SequenceNumber() override { return sequence; }
    std::optional<ClipboardText> ReadText(bool unicode) override
    {
        ++reads;
        readUnicode = unicode;
        if (changeBeforeRead)
            Change(*std::exchange(changeBeforeRead, std::nullopt));
        if (!text)
            return std::nullopt;
        if (unicode)
            return ClipboardText{{}, std::u16string(text->begin(), text->end()), sequence, true, hasText, ownCopy};
        return ClipboardText{*text, {}, sequence, false, hasText, ownCopy};
    }
    void Change(std::string newText)
    {
        text = std::move(newText);
        ++sequence;
    }
    void ForwardDrawClipboard(WindowId next) override { drawForwards.push_back(next); }
    void ForwardChangeCbChain(WindowId next, WindowId removed, WindowId following) override
    {
        chainForwards.push_back({next, removed, following});
    }
};

struct WatcherFixture : ::testing::Test {
    FakeClipboard clipboard;
    std::vector<std::string> captured;
    bool failPipeline = false;
    std::vector<std::u16string> capturedWide;
    ClipboardWatcher watcher{clipboard, [this](const ClipboardText& text) {
                                 if (failPipeline)
                                     throw AppError("'$G0' is not a valid integer value");
                                 if (text.unicode)
                                     capturedWide.push_back(text.wide);
                                 else
                                     captured.push_back(text.bytes);
                             }};
    WatcherFixture()
    {
        watcher.Join();
        clipboard.Change("line");
    }
};

TEST(ClipboardWatcherJoin, TextOnTheClipboardBeforeTheJoinIsNotCaptured)
{
    FakeClipboard clipboard;
    std::vector<std::string> captured;
    ClipboardWatcher watcher{clipboard, [&](const ClipboardText& text) { captured.push_back(text.bytes); }};
    watcher.Join();
    watcher.OnDrawClipboard(kOn);  // the notification that joining sends
    EXPECT_TRUE(captured.empty());
    EXPECT_EQ(clipboard.drawForwards.size(), 1u);
    clipboard.Change("first line");
    watcher.OnDrawClipboard(kOn);
    EXPECT_EQ(captured, std::vector<std::string>{"first line"});
}

TEST_F(WatcherFixture, CapturesEveryChangeOnceAndForwardsEveryNotification)
{
    watcher.OnDrawClipboard(kOn);
    clipboard.Change("line");  // the same text copied again is a new change
    watcher.OnDrawClipboard(kOn);
    watcher.OnDrawClipboard(kOn);  // a second notification of that change takes nothing
    EXPECT_EQ(captured, (std::vector<std::string>{"line", "line"}));
    EXPECT_EQ(clipboard.drawForwards, (std::vector<WindowId>{77, 77, 77}));
}

TEST_F(WatcherFixture, NotificationsQueuedBehindABurstTakeTheLatestTextOnce)
{
    // Three changes before the first notification is handled: all three
    // notifications find the third text; it is shown once.
    clipboard.Change("two");
    clipboard.Change("three");
    for (int i = 0; i < 3; ++i)
        watcher.OnDrawClipboard(kOn);
    EXPECT_EQ(captured, (std::vector<std::string>{"three"}));

    // A change while the first of two notifications is on its way: the text
    // read belongs to the later change, whose own notification then takes
    // nothing.
    clipboard.Change("four");
    clipboard.changeBeforeRead = "five";
    watcher.OnDrawClipboard(kOn);
    watcher.OnDrawClipboard(kOn);
    EXPECT_EQ(captured, (std::vector<std::string>{"three", "five"}));
}

TEST_F(WatcherFixture, ChangesSeenWhileMonitoringIsOffAreNeverReadLater)
{
    clipboard.Change("copied during the pause");
    watcher.OnDrawClipboard(kOff);
    watcher.OnDrawClipboard(kOn);  // e.g. a notification passed on by another viewer
    EXPECT_TRUE(captured.empty());
    clipboard.Change("after the pause");
    watcher.OnDrawClipboard(kOn);
    EXPECT_EQ(captured, (std::vector<std::string>{"after the pause"}));
}

TEST_F(WatcherFixture, SystemWithoutChangeNumbersReadsEveryNotification)
{
    clipboard.sequence = 0;
    watcher.OnDrawClipboard(kOn);
    watcher.OnDrawClipboard(kOn);
    EXPECT_EQ(captured.size(), 2u);
}

TEST_F(WatcherFixture, MonitoringOffLeavesTheClipboardClosedNoTextAndOurOwnCopyAreNoCapture)
{
    watcher.OnDrawClipboard(kOff);
    EXPECT_EQ(clipboard.reads, 0);
    clipboard.Change("a picture");
    clipboard.hasText = false;
    watcher.OnDrawClipboard(kOn);
    clipboard.hasText = true;
    clipboard.ownCopy = true;  // Ctrl+C in the log
    clipboard.Change("the log");
    watcher.OnDrawClipboard(kOn);
    EXPECT_TRUE(captured.empty());
    EXPECT_EQ(clipboard.drawForwards.size(), 3u);
}

TEST_F(WatcherFixture, FailuresStillPassTheNotificationOn)
{
    clipboard.text = std::nullopt;  // cannot open the clipboard
    try {
        watcher.OnDrawClipboard(kOn);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "Cannot open clipboard");
    }
    clipboard.Change("82G0 ");
    failPipeline = true;
    EXPECT_THROW(watcher.OnDrawClipboard(kOn), AppError);
    EXPECT_EQ(clipboard.drawForwards.size(), 2u);
}

TEST_F(WatcherFixture, TheUnicodeSwitchReadsTheUtf16Text)
{
    watcher.OnDrawClipboard({true, true});
    EXPECT_TRUE(clipboard.readUnicode);
    EXPECT_EQ(capturedWide, std::vector<std::u16string>{u"line"});
    clipboard.Change("next");
    watcher.OnDrawClipboard(kOn);
    EXPECT_FALSE(clipboard.readUnicode);
    EXPECT_EQ(captured, std::vector<std::string>{"next"});
}

TEST_F(WatcherFixture, ChainChangesFollowTheLeavingNextViewer)
{
    watcher.OnChangeCbChain(55, 66);  // some other viewer leaves: pass it on
    ASSERT_EQ(clipboard.chainForwards.size(), 1u);
    EXPECT_EQ(clipboard.chainForwards[0].to, 77u);
    EXPECT_EQ(clipboard.chainForwards[0].removed, 55u);
    EXPECT_EQ(clipboard.chainForwards[0].following, 66u);

    watcher.OnChangeCbChain(77, 88);  // our next viewer leaves
    EXPECT_EQ(watcher.NextViewer, 88u);
    EXPECT_EQ(clipboard.chainForwards.size(), 1u);
    watcher.OnDrawClipboard(kOn);
    EXPECT_EQ(clipboard.drawForwards.back(), 88u);
    watcher.Leave();
    EXPECT_EQ(clipboard.leftWith, 88u);
}

} // namespace
