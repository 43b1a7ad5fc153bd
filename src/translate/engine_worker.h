#pragma once
// The engine thread: texts go in in read order and their answers come out in
// the same order, while the UI thread goes on. Whatever an engine does, every
// text gets an answer: a failure, a text that waited too long and an engine
// that stopped answering all show the text untranslated.
//
// One worker per engine, so that a slow engine never holds up a fast one.
// Two threads: the queue thread takes the texts in turn and waits for each
// answer with a deadline; the call thread makes the engine calls. A call that
// never returns (or faults, see FailCallOnThisThread) is left behind on its
// thread, the engine counts as stopped for the run, and a new call thread
// serves the work posted.
#include "translate/translator.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace kx {

inline constexpr const char16_t* kEngineStoppedLine = u"Translation Engine stopped answering";
inline constexpr const char16_t* kTranslationFailedPrefix = u"Translation failed: ";
inline constexpr std::chrono::milliseconds kFailureNoticeGap{10000};
inline constexpr std::chrono::milliseconds kStopWait{2000};

// «Translation is behind: N lines shown untranslated»
std::u16string BehindLine(std::size_t lines);

class EngineWorker {
public:
    struct Answer {
        std::uint64_t job = 0;
        std::u16string shown;   // what the log view shows: the answer, or the text untranslated
        std::u16string notice;  // lines for the log after it, or empty
        bool stopped = false;   // the engine stopped answering for the run with this answer
        bool partial = false;   // the answer as far as it is written; the whole one follows
        bool failed = false;    // no whole answer of the engine's own (see Translation::failed)
    };

    // `answered` is called on the queue thread after each answer.
    EngineWorker(Translator& translator, std::function<void()> answered);
    ~EngineWorker();
    EngineWorker(const EngineWorker&) = delete;
    EngineWorker& operator=(const EngineWorker&) = delete;

    // Queues a text; the threads start with the first one. `fresh`: asked
    // past any answer the engine kept for it.
    void Submit(std::uint64_t job, std::u16string text, bool fresh = false);
    // Queues other work for the call thread, in turn with the texts (a test
    // translation). Dropped when the worker stops first.
    void Post(std::function<void()> task);
    std::deque<Answer> TakeAnswers();
    // Any thread: the lines translated so far are no context for the next.
    void ForgetContext();
    // Drops the texts not yet started, cuts short the call in progress where
    // the engine can (a server request) and waits up to `wait` for it. True
    // when no engine call is in progress any more; false when one is left
    // inside an engine (it hung or faulted): then the engines must not be
    // ended or freed, and the program ends without them.
    bool Stop(std::chrono::milliseconds wait = kStopWait);

    // The call thread, from a fault handler: the engine call on this thread
    // failed beyond recovery and the thread ends without returning from it.
    // False when this thread is no engine call thread.
    static bool FailCallOnThisThread();

private:
    struct Job;
    struct CallSlot;
    struct Shared;
    enum class CallEnd { Returned, Hung, Faulted, Stopping };

    void Queue(Job job);
    void Run();
    void Translate(Job& job, std::unique_lock<std::mutex>& lock);
    CallEnd Call(std::function<void()> work, std::chrono::steady_clock::time_point deadline,
                 std::unique_lock<std::mutex>& lock);
    std::u16string FailureNotice(const std::string& reason);
    void Deliver(Answer answer, std::unique_lock<std::mutex>& lock);

    Translator& translator_;
    std::function<void()> answered_;
    std::shared_ptr<Shared> shared_;
    std::thread queueThread_;
};

} // namespace kx
