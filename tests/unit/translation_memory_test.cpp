#include "translate/translation_memory.h"
#include "capture/game_history.h"

#include "fake_game_folders.h"
#include "settings/game_profiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

using namespace kx;
using namespace kx::testing;

TEST(TranslationMemory, LinesThatCannotBeReadAreToldAndKeptAndTheFileIsNeverWrittenAtLoad)
{
    FakeGameFolders folders;
    folders.files[u"Game\\memory.txt"] = "a\tA\r\nbroken line\r\nb\tB\r\n";
    TranslationMemory memory(folders);
    EXPECT_EQ(memory.Load(u"Game"),
              std::vector<std::u16string>{u"Translation memory: 1 line of C:\\KX\\Games\\Game\\memory.txt could not be read"});
    EXPECT_EQ(memory.Find(u"b"), u"B");
    EXPECT_EQ(memory.Find(u"c"), std::nullopt);
    EXPECT_EQ(folders.writes + folders.appends, 0);
    for (int i = 0; i < 3; ++i)
        memory.Remember(u"a", i % 2 ? u"A" : u"A2");  // grows past twice its pairs
    EXPECT_EQ(folders.writes, 0) << "not written again over a line it could not read";
    EXPECT_EQ(folders.files[u"Game\\memory.txt"], "a\tA\r\nbroken line\r\nb\tB\r\na\tA2\r\na\tA\r\na\tA2\r\n");
}

// Without a profile the memory is the (none) folder's; a later answer for the
// same source wins, and a file grown past twice its pairs is written again
// with one line each.
TEST(TranslationMemory, AnswersAreAddedAndTheFileIsWrittenAgainOnceItHoldsTwiceWhatItNeeds)
{
    FakeGameFolders folders;
    TranslationMemory memory(folders);
    EXPECT_TRUE(memory.Load(kNoProfileFolder).empty());
    memory.Remember(u"a\tb", u"first");
    memory.Remember(u"a\tb", u"first");  // nothing new
    EXPECT_EQ(folders.files[u"(none)\\memory.txt"], "a\\tb\tfirst\r\n");
    memory.Remember(u"a\tb", u"second");
    EXPECT_EQ(folders.writes, 0);
    memory.Remember(u"a\tb", u"third");
    EXPECT_EQ(folders.writes, 1);
    EXPECT_EQ(folders.files[u"(none)\\memory.txt"], "a\\tb\tthird\r\n");
    EXPECT_EQ(memory.Find(u"a\tb"), u"third");
    TranslationMemory next(folders);
    next.Load(kNoProfileFolder);
    EXPECT_EQ(next.Find(u"a\tb"), u"third");
}

TEST(GameHistory, EachLineGoesToTheGamesHistoryWithItsTimeUnlessItIsOff)
{
    FakeGameFolders folders;
    GameHistory history(folders, [] { return std::string("2026-12-11 10:00:00"); });
    history.UseGame(u"Game");
    history.LineShown(u"こんにちは", u"안녕");
    history.SetOn(false);
    history.LineShown(u"a", u"b");
    EXPECT_EQ(folders.files[u"Game\\history.txt"], "2026-12-11 10:00:00\t\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF\t\xEC\x95\x88\xEB\x85\x95\r\n");
}

namespace {

// Keeps what is posted until the test runs it, as the UI thread would.
struct HeldUiThread : UiThreadPort {
    std::mutex mutex;
    std::condition_variable posted;
    std::vector<std::function<void()>> work;
    void Post(std::function<void()> next) override
    {
        std::lock_guard lock(mutex);
        work.push_back(std::move(next));
        posted.notify_all();
    }
    void RunWhenPosted()
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(posted.wait_for(lock, std::chrono::seconds(5), [this] { return !work.empty(); }));
        std::vector<std::function<void()>> now = std::move(work);
        lock.unlock();
        for (auto& w : now)
            w();
    }
};

} // namespace

// Read on a thread of its own: an answer kept meanwhile wins over the file's,
// and the lines for the log come on the UI thread once it is read.
TEST(TranslationMemory, ReadInTheBackgroundWhatIsAnsweredMeanwhileIsKeptAndWins)
{
    FakeGameFolders folders;
    folders.files[u"Game\\memory.txt"] = "a\told\r\nb\tB\r\nbad\r\n";
    HeldUiThread ui;
    TranslationMemory memory(folders);
    std::vector<std::u16string> told;
    memory.LoadInBackground(u"Game", ui, [&](std::vector<std::u16string> lines) { told = std::move(lines); });
    memory.Remember(u"a", u"new");
    ui.RunWhenPosted();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(memory.Find(u"a"), u"new");
    EXPECT_EQ(memory.Find(u"b"), u"B");
    EXPECT_EQ(folders.files[u"Game\\memory.txt"], "a\told\r\nb\tB\r\nbad\r\na\tnew\r\n");
}
