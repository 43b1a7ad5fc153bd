#include "platform/win32/win32_ui_thread.h"

#include <exception>
#include <utility>

namespace kx::win32 {

void Win32UiThread::Post(std::function<void()> work)
{
    std::lock_guard lock(mutex_);
    if (closed_)
        return;
    work_.push_back(std::move(work));
    if (!wakePosted_)
        wakePosted_ = ::PostMessageW(window_, message_, 0, 0) != 0;
}

void Win32UiThread::RunPosted()
{
    std::deque<std::function<void()>> work;
    {
        std::lock_guard lock(mutex_);
        wakePosted_ = false;
        if (closed_)
            return;
        work.swap(work_);
    }
    std::exception_ptr firstError;
    for (std::function<void()>& item : work) {
        try {
            item();
        } catch (...) {
            if (!firstError)
                firstError = std::current_exception();
        }
    }
    if (firstError)
        std::rethrow_exception(firstError);
}

void Win32UiThread::Close()
{
    std::lock_guard lock(mutex_);
    closed_ = true;
    work_.clear();
}

} // namespace kx::win32
