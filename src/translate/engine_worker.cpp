#include "translate/engine_worker.h"

#include <exception>
#include <utility>

namespace kx {

EngineWorker::EngineWorker(Translator& translator, std::function<void()> answered)
    : translator_(translator), answered_(std::move(answered))
{
}

EngineWorker::~EngineWorker()
{
    Stop();
}

void EngineWorker::Submit(std::uint64_t job, std::u16string text)
{
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        texts_.emplace_back(job, std::move(text));
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
        texts_.clear();
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void EngineWorker::Run()
{
    for (;;) {
        std::pair<std::uint64_t, std::u16string> text;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !texts_.empty(); });
            if (stopping_)
                return;
            text = std::move(texts_.front());
            texts_.pop_front();
        }
        Answer answer{text.first, {}, {}};
        try {
            translator_.TranslateWide(text.second.data(), static_cast<int>(text.second.size()));
            answer.shown = ShownTranslation(translator_.Result());
            translator_.StopTransEngine();
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
}

} // namespace kx
