#include "translate/engine_worker.h"

#include <exception>
#include <utility>

namespace kx {

EngineWorker::EngineWorker(Translator& ezTrans, Translator& server, std::function<void()> answered)
    : ezTrans_(ezTrans), server_(server), answered_(std::move(answered))
{
}

EngineWorker::~EngineWorker()
{
    Stop();
}

void EngineWorker::Submit(std::uint64_t id, std::u16string text, EngineKind kind)
{
    Job job;
    job.id = id;
    job.text = std::move(text);
    job.translator = kind == EngineKind::Server ? &server_ : &ezTrans_;
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        jobs_.push_back(std::move(job));
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
}

void EngineWorker::Post(std::function<void()> task)
{
    Job job;
    job.task = std::move(task);
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        jobs_.push_back(std::move(job));
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
}

std::deque<EngineWorker::Answer> EngineWorker::TakeAnswers()
{
    std::lock_guard lock(mutex_);
    return std::exchange(answers_, {});
}

void EngineWorker::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_one();
    ezTrans_.Abort();
    if (&server_ != &ezTrans_)
        server_.Abort();
    if (thread_.joinable())
        thread_.join();
}

void EngineWorker::Run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        if (job.task) {
            try {
                job.task();
            } catch (...) {
                // A task reports its own outcome; the thread goes on.
            }
            continue;
        }
        Translate(job);
    }
}

void EngineWorker::Translate(Job& job)
{
    Translator& translator = *job.translator;
    Answer answer{job.id, {}, {}, {}};
    try {
        Translation translation = translator.Translate(job.text);
        answer.shown = std::move(translation.shown);
        answer.notice = std::move(translation.notice);
    } catch (const std::exception& e) {
        answer.error = e.what();
    } catch (...) {
        answer.error = "Unknown error";
    }
    {
        std::lock_guard lock(mutex_);
        answers_.push_back(std::move(answer));
    }
    answered_();
}

} // namespace kx
