#pragma once
#include "platform/ui_thread_port.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

namespace kx::win32 {

// Work for the UI thread in one ordered queue; one posted `message` to a
// window of that thread stands for any number of waiting items, and the
// window procedure answers it with RunPosted.
class Win32UiThread : public UiThreadPort {
public:
    Win32UiThread(HWND window, UINT message) : window_(window), message_(message) {}
    void Post(std::function<void()> work) override;
    // The UI thread: runs what is waiting, in order. An item that throws
    // does not stop the others; the first error is thrown after them.
    void RunPosted();
    // The UI thread, at close: drops what waits and refuses what comes.
    void Close();

private:
    HWND window_;
    UINT message_;
    std::mutex mutex_;
    std::deque<std::function<void()>> work_;  // guarded by mutex_
    bool wakePosted_ = false;                 // guarded by mutex_
    bool closed_ = false;                     // guarded by mutex_
};

} // namespace kx::win32
