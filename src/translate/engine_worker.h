#pragma once
// The one thread that calls the translation engine once the program runs:
// texts go in in read order and their answers come out in the same order,
// while the UI thread goes on.
#include "settings/app_settings.h"
#include "translate/translator.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kx {

class EngineWorker {
public:
    struct Answer {
        std::uint64_t job = 0;
        std::u16string shown;  // what the log view shows of the answer
        std::string error;     // not empty when the translation failed
        std::u16string notice; // a line for the log after the answer (a server failure)
    };

    // `answered` is called on the worker thread after each answer.
    EngineWorker(Translator& ezTrans, Translator& server, std::function<void()> answered);
    EngineWorker(Translator& translator, std::function<void()> answered)
        : EngineWorker(translator, translator, std::move(answered))
    {
    }
    ~EngineWorker();
    EngineWorker(const EngineWorker&) = delete;
    EngineWorker& operator=(const EngineWorker&) = delete;

    // Queues a text for the engine of `kind`; the thread starts with the first one.
    void Submit(std::uint64_t job, std::u16string text, EngineKind kind = EngineKind::EzTrans);
    // Queues other work for the engine thread, in turn with the texts (a
    // test translation). Dropped when the worker stops first.
    void Post(std::function<void()> task);
    std::deque<Answer> TakeAnswers();
    // Drops the texts not yet started, cuts short the one in progress where
    // the engine can (a server request) and waits for it. No engine call
    // happens after it returns.
    void Stop();

private:
    struct Job {
        std::uint64_t id = 0;
        std::u16string text;
        Translator* translator = nullptr;
        std::function<void()> task;  // instead of a text
    };

    void Run();
    void Translate(Job& job);

    Translator& ezTrans_;
    Translator& server_;
    std::function<void()> answered_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::deque<Answer> answers_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace kx
