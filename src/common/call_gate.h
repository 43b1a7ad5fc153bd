#pragma once
// Lets a thread that may outlive its owner call back into it only while the
// owner is there: the owner closes the gate before it goes, and once Close
// has returned no call is running and none starts.
#include <mutex>
#include <utility>

namespace kx {

class CallGate {
public:
    // Runs `call` unless the gate is closed; whether it ran.
    template <typename Call> bool Run(Call&& call)
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        std::forward<Call>(call)();
        return true;
    }
    // Waits for a call in progress.
    void Close()
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }

private:
    std::mutex mutex_;
    bool closed_ = false;
};

} // namespace kx
