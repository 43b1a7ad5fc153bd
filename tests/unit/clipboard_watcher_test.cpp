#include "capture/clipboard_watcher.h"
#include "common/app_error.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kx;

namespace {

struct FakeClipboard : ClipboardPort {
    WindowId joinAnswer = 77;
    bool hasText = true;
    std::optional<std::string> text = std::string("line");
    int reads = 0;
    std::vector<WindowId> drawForwards;
    struct ChainForward {
        WindowId to, removed, following;
    };
    std::vector<ChainForward> chainForwards;
    WindowId leftWith = 0;

    WindowId JoinViewerChain() override { return joinAnswer; }
    void LeaveViewerChain(WindowId next) override { leftWith = next; }
    bool HasText() override { return hasText; }
    std::optional<std::string> ReadText() override
    {
        ++reads;
        return text;
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
    ClipboardWatcher watcher{clipboard, [this](const std::string& bytes) {
                                 if (failPipeline)
                                     throw AppError("'$G0' is not a valid integer value");
                                 captured.push_back(bytes);
                             }};
    WatcherFixture() { watcher.Join(); }
};

TEST_F(WatcherFixture, CapturesEveryChangeAndForwardsIt)
{
    watcher.OnDrawClipboard(true);
    watcher.OnDrawClipboard(true);  // the same text twice is captured twice
    EXPECT_EQ(captured, (std::vector<std::string>{"line", "line"}));
    EXPECT_EQ(clipboard.drawForwards, (std::vector<WindowId>{77, 77}));
}

TEST_F(WatcherFixture, MonitoringOffOrNoTextLeavesClipboardClosedButForwards)
{
    watcher.OnDrawClipboard(false);
    clipboard.hasText = false;
    watcher.OnDrawClipboard(true);
    EXPECT_EQ(clipboard.reads, 0);
    EXPECT_TRUE(captured.empty());
    EXPECT_EQ(clipboard.drawForwards.size(), 2u);
}

TEST_F(WatcherFixture, FailuresStillPassTheNotificationOn)
{
    clipboard.text = std::nullopt;  // cannot open the clipboard
    try {
        watcher.OnDrawClipboard(true);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "Cannot open clipboard");
    }
    clipboard.text = "82G0 ";
    failPipeline = true;
    EXPECT_THROW(watcher.OnDrawClipboard(true), AppError);
    EXPECT_EQ(clipboard.drawForwards.size(), 2u);
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
    watcher.OnDrawClipboard(true);
    EXPECT_EQ(clipboard.drawForwards.back(), 88u);
    watcher.Leave();
    EXPECT_EQ(clipboard.leftWith, 88u);
}

} // namespace
