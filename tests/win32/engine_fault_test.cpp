// A fault inside an engine call ends that call only: the text shows
// untranslated, the engine is stopped for the run, the program goes on.
#include "translate/engine_worker.h"
#include "translate/win32/engine_fault_guard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace kx;
using namespace std::chrono_literals;

namespace {

class FaultingTranslator : public Translator {
public:
    Translation Translate(std::u16string_view) override
    {
        volatile int* nowhere = nullptr;
        *nowhere = 1;  // an access violation, as in a broken engine DLL
        return {u"never", {}};
    }
};

} // namespace

TEST(EngineFaultGuard, AFaultInAnEngineCallEndsOnlyThatCall)
{
    win32::EngineFaultGuard guard;
    FaultingTranslator faulting;
    std::atomic<int> answered{0};
    std::atomic<bool> posted{false};
    EngineWorker worker(faulting, [&] { ++answered; });
    worker.Submit(1, u"broken");
    worker.Submit(2, u"later");
    worker.Post([&] { posted = true; });  // on a new call thread
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while ((answered < 2 || !posted) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    const auto answers = worker.TakeAnswers();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].shown, u"broken");
    EXPECT_EQ(answers[0].notice, kEngineStoppedLine);
    EXPECT_TRUE(answers[0].stopped);
    EXPECT_EQ(answers[1].shown, u"later");
    EXPECT_TRUE(answers[1].failed);
    EXPECT_TRUE(posted);
    // The faulted call never returned: the engine must not be ended or freed.
    EXPECT_FALSE(worker.Stop(100ms));
}
