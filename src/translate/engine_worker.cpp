#include "translate/engine_worker.h"

#include "common/text.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace kx {

using Clock = std::chrono::steady_clock;

std::u16string BehindLine(std::size_t lines)
{
    return u"Translation is behind: " + Widen(std::to_string(lines)) + u" lines shown untranslated";
}

struct EngineWorker::Job {
    std::uint64_t id = 0;
    std::u16string text;
    std::function<void()> task;  // instead of a text
    bool fresh = false;          // past the engine's kept answers
    Clock::time_point queued;
};

// One engine call thread. It may outlive the worker when a call is left
// inside an engine: it holds the shared state, never the worker.
struct EngineWorker::CallSlot {
    std::function<void()> work;  // handed over by the queue thread
    bool busy = false;           // a call in progress
    bool quit = false;           // end after the call in progress
    bool faulted = false;
    std::thread thread;          // joined when it ends in order, else detached
};

struct EngineWorker::Shared {
    std::mutex mutex;
    std::condition_variable wake;  // every state change below
    std::deque<Job> jobs;
    std::deque<Answer> answers;
    bool stopping = false;
    Clock::time_point stopDeadline;
    std::shared_ptr<CallSlot> call;  // the call thread in use, made on demand
    std::vector<std::shared_ptr<CallSlot>> leftBehind;  // calls left inside an engine
    bool engineStopped = false;  // for the run
    std::optional<Clock::time_point> lastFailureNotice;
};

namespace {

// Set on each call thread, for FailCallOnThisThread.
thread_local std::mutex* t_mutex = nullptr;
thread_local std::condition_variable* t_wake = nullptr;
thread_local bool* t_faulted = nullptr;

} // namespace

EngineWorker::EngineWorker(Translator& translator, std::function<void()> answered)
    : translator_(translator), answered_(std::move(answered)), shared_(std::make_shared<Shared>())
{
}

EngineWorker::~EngineWorker()
{
    Stop();
}

void EngineWorker::Submit(std::uint64_t id, std::u16string text, bool fresh)
{
    Job job;
    job.id = id;
    job.text = std::move(text);
    job.fresh = fresh;
    Queue(std::move(job));
}

void EngineWorker::Post(std::function<void()> task)
{
    Job job;
    job.task = std::move(task);
    Queue(std::move(job));
}

void EngineWorker::Queue(Job job)
{
    job.queued = Clock::now();
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->stopping)
            return;
        shared_->jobs.push_back(std::move(job));
        if (!queueThread_.joinable())
            queueThread_ = std::thread([this] { Run(); });
    }
    shared_->wake.notify_all();
}

std::deque<EngineWorker::Answer> EngineWorker::TakeAnswers()
{
    std::lock_guard lock(shared_->mutex);
    return std::exchange(shared_->answers, {});
}

void EngineWorker::ForgetContext()
{
    translator_.ForgetContext();
}

bool EngineWorker::Stop(std::chrono::milliseconds wait)
{
    {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->stopping) {
            shared_->stopping = true;
            shared_->stopDeadline = Clock::now() + wait;
            shared_->jobs.clear();
        }
    }
    shared_->wake.notify_all();
    translator_.Abort();
    // The queue thread ends by the deadline whatever the call does.
    if (queueThread_.joinable())
        queueThread_.join();
    std::unique_lock lock(shared_->mutex);
    std::shared_ptr<CallSlot> call = std::exchange(shared_->call, nullptr);
    if (call && !call->busy) {
        call->quit = true;
        shared_->wake.notify_all();
        std::thread thread = std::move(call->thread);
        lock.unlock();
        thread.join();
        lock.lock();
    }
    return std::none_of(shared_->leftBehind.begin(), shared_->leftBehind.end(),
                        [](const auto& slot) { return slot->busy; });
}

bool EngineWorker::FailCallOnThisThread()
{
    if (!t_faulted)
        return false;
    {
        std::lock_guard lock(*t_mutex);
        *t_faulted = true;
    }
    t_wake->notify_all();
    return true;
}

EngineWorker::CallEnd EngineWorker::Call(std::function<void()> work, Clock::time_point deadline,
                                         std::unique_lock<std::mutex>& lock)
{
    Shared& s = *shared_;
    if (!s.call) {
        auto slot = std::make_shared<CallSlot>();
        slot->thread = std::thread([shared = shared_, slot = slot.get()] {
            t_mutex = &shared->mutex;
            t_wake = &shared->wake;
            t_faulted = &slot->faulted;
            std::unique_lock lock(shared->mutex);
            for (;;) {
                shared->wake.wait(lock, [&] { return slot->quit || slot->work; });
                if (!slot->work)
                    break;
                std::function<void()> work = std::exchange(slot->work, nullptr);
                lock.unlock();
                work();
                work = nullptr;
                lock.lock();
                slot->busy = false;
                shared->wake.notify_all();
            }
            t_faulted = nullptr;
        });
        s.call = std::move(slot);
    }
    std::shared_ptr<CallSlot> call = s.call;
    call->work = std::move(work);
    call->busy = true;
    s.wake.notify_all();
    CallEnd end = CallEnd::Returned;
    for (;;) {
        if (!call->busy)
            break;
        if (call->faulted) {
            end = CallEnd::Faulted;
            break;
        }
        const Clock::time_point now = Clock::now();
        if (s.stopping && now >= s.stopDeadline) {
            end = CallEnd::Stopping;
            break;
        }
        if (now >= deadline) {
            end = CallEnd::Hung;
            break;
        }
        s.wake.wait_until(lock, s.stopping ? std::min(deadline, s.stopDeadline) : deadline);
    }
    if (end != CallEnd::Returned) {
        // The call stays where it is; a new thread serves what follows.
        call->quit = true;
        if (call->thread.joinable())
            call->thread.detach();
        s.leftBehind.push_back(call);
        s.call = nullptr;
    }
    return end;
}

void EngineWorker::Run()
{
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.wake.wait(lock, [&] { return s.stopping || !s.jobs.empty(); });
        if (s.stopping)
            return;
        Job job = std::move(s.jobs.front());
        s.jobs.pop_front();
        if (job.task) {
            Call(
                [task = std::move(job.task)] {
                    try {
                        task();
                    } catch (...) {
                        // A task reports its own outcome; the thread goes on.
                    }
                },
                Clock::time_point::max(), lock);
            continue;
        }
        Translate(job, lock);
    }
}

void EngineWorker::Translate(Job& job, std::unique_lock<std::mutex>& lock)
{
    Shared& s = *shared_;
    Translator& translator = translator_;
    Answer answer{job.id};
    if (s.engineStopped) {
        answer.shown = translator.Untranslated(job.text);
        answer.failed = true;
        Deliver(std::move(answer), lock);
        return;
    }
    const auto waitedTooLong = [&](const Job& j) {
        return !j.task && Clock::now() - j.queued > translator.WaitLimit();
    };
    if (waitedTooLong(job)) {
        // This text and every one behind it that has waited as long.
        const auto untranslated = [&](const Job& j) {
            Answer a{j.id, translator.Untranslated(j.text)};
            a.failed = true;
            return a;
        };
        std::vector<Answer> behind{untranslated(job)};
        while (!s.jobs.empty() && waitedTooLong(s.jobs.front())) {
            behind.push_back(untranslated(s.jobs.front()));
            s.jobs.pop_front();
        }
        behind.back().notice = BehindLine(behind.size());
        for (Answer& a : behind)
            Deliver(std::move(a), lock);
        return;
    }

    struct Outcome {
        Translation translation;
        std::string failure;
        std::optional<std::u16string> untranslated;  // the failure's own, held pieces included
    };
    auto outcome = std::make_shared<Outcome>();
    const Clock::time_point deadline =
        translator.MayHang() ? Clock::now() + translator.WaitLimit() : Clock::time_point::max();
    // Told on the call thread; dropped once the worker stops, under the lock
    // that Stop takes first, so that nothing is asked of an owner going away.
    // At most one partial answer of a text waits for the UI: a newer one
    // takes its place, and the UI, told of the first, takes the newest. It
    // can only be the last answer: nothing else is answered during the call.
    PartialAnswer partial = [shared = shared_, answered = answered_, id = job.id](const std::u16string& shown) {
        std::lock_guard partialLock(shared->mutex);
        if (shared->stopping)
            return;
        if (!shared->answers.empty() && shared->answers.back().job == id && shared->answers.back().partial) {
            shared->answers.back().shown.assign(shown);
            return;
        }
        Answer piece{id, shown};
        piece.partial = true;
        shared->answers.push_back(std::move(piece));
        answered();
    };
    const CallEnd end = Call(
        [&translator, text = job.text, fresh = job.fresh, outcome, partial = std::move(partial)] {
            try {
                if (fresh)
                    translator.SkipCacheOnce();
                outcome->translation = translator.Translate(text, partial);
            } catch (const TranslationFailure& e) {
                outcome->failure = e.what();
                outcome->untranslated = e.untranslated;
            } catch (const std::exception& e) {
                outcome->failure = e.what();
            } catch (...) {
                outcome->failure = "unknown error";
            }
        },
        deadline, lock);
    switch (end) {
    case CallEnd::Stopping:
        return;
    case CallEnd::Hung:
    case CallEnd::Faulted:
        s.engineStopped = true;
        answer.shown = translator.Untranslated(job.text);
        answer.notice = kEngineStoppedLine;
        answer.stopped = true;
        answer.failed = true;
        break;
    case CallEnd::Returned:
        if (outcome->failure.empty()) {
            answer.shown = std::move(outcome->translation.shown);
            answer.notice = std::move(outcome->translation.notice);
            answer.failed = outcome->translation.failed;
        } else {
            answer.shown = outcome->untranslated ? std::move(*outcome->untranslated) : translator.Untranslated(job.text);
            answer.notice = FailureNotice(outcome->failure);
            answer.failed = true;
        }
        break;
    }
    Deliver(std::move(answer), lock);
}

std::u16string EngineWorker::FailureNotice(const std::string& reason)
{
    Shared& s = *shared_;
    const Clock::time_point now = Clock::now();
    if (s.lastFailureNotice && now - *s.lastFailureNotice < kFailureNoticeGap)
        return {};
    s.lastFailureNotice = now;
    return kTranslationFailedPrefix + Widen(reason);
}

void EngineWorker::Deliver(Answer answer, std::unique_lock<std::mutex>& lock)
{
    shared_->answers.push_back(std::move(answer));
    lock.unlock();
    answered_();
    lock.lock();
}

} // namespace kx
