#pragma once
// The one thread that calls the translation engine once the program runs:
// texts go in in read order and their answers come out in the same order,
// while the UI thread goes on.
#include "capture/text_sink.h"

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
    };

    // `answered` is called on the worker thread after each answer.
    EngineWorker(Translator& translator, std::function<void()> answered);
    ~EngineWorker();
    EngineWorker(const EngineWorker&) = delete;
    EngineWorker& operator=(const EngineWorker&) = delete;

    // Queues a text; the thread starts with the first one.
    void Submit(std::uint64_t job, std::u16string text);
    std::deque<Answer> TakeAnswers();
    // Drops the texts not yet started and waits for the one in progress.
    // No engine call happens after it returns.
    void Stop();

private:
    void Run();

    Translator& translator_;
    std::function<void()> answered_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::pair<std::uint64_t, std::u16string>> texts_;
    std::deque<Answer> answers_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace kx
