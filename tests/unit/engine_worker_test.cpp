#include "translate/engine_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

using namespace kx;

namespace {

// Writes its answer in three growing pieces, then answers whole.
struct GrowingTranslator : Translator {
    Translation Translate(std::u16string_view) override { return {u"abcd", {}}; }
    Translation Translate(std::u16string_view text, const PartialAnswer& partial) override
    {
        for (const char16_t* shown : {u"a", u"ab", u"abc"})
            partial(shown);
        return Translate(text);
    }
};

// The UI takes no turn meanwhile: the partial answers do not pile up for
// it, the newest takes the place of the one waiting.
TEST(EngineWorker, OnePartialAnswerOfATextWaitsForTheUiAndANewerOneTakesItsPlace)
{
    GrowingTranslator translator;
    std::mutex mutex;
    std::condition_variable told;
    int answered = 0;
    EngineWorker worker(translator, [&] {
        std::lock_guard lock(mutex);
        ++answered;
        told.notify_all();
    });
    worker.Submit(1, u"text");
    {
        // Told of the first partial answer, then of the whole one.
        std::unique_lock lock(mutex);
        ASSERT_TRUE(told.wait_for(lock, std::chrono::seconds(10), [&] { return answered >= 2; }));
    }
    const std::deque<EngineWorker::Answer> answers = worker.TakeAnswers();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_TRUE(answers[0].partial);
    EXPECT_EQ(answers[0].shown, u"abc");
    EXPECT_FALSE(answers[1].partial);
    EXPECT_EQ(answers[1].shown, u"abcd");
}

} // namespace
