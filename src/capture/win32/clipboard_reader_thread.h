#pragma once
// The clipboard viewer on a thread of its own: it joins the viewer chain with
// a hidden window, reads every change the moment it is notified and passes
// the notification on, whatever the UI thread is busy with (under Wine an
// append to a visible EDIT control can take over 10 ms, long enough for a
// hooker to overwrite the clipboard twice).
#include "capture/clipboard_watcher.h"

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace kx::win32 {

class ClipboardReaderThread {
public:
    // All are called on the reader thread. `switches` is asked on every
    // change; `onText` gets the text of each change read; `onError` the
    // message of a read that failed.
    struct Handlers {
        std::function<ClipboardWatcher::ReadSwitches()> switches;
        std::function<void(ClipboardText text)> onText;
        std::function<void(const std::string& message)> onError;
    };

    explicit ClipboardReaderThread(Handlers handlers);
    ~ClipboardReaderThread();
    ClipboardReaderThread(const ClipboardReaderThread&) = delete;
    ClipboardReaderThread& operator=(const ClipboardReaderThread&) = delete;

    // Starts the thread and returns once its window is in the chain.
    void Join();
    // Leaves the chain and ends the thread.
    void Leave();
    HWND Window() const { return window_; }

private:
    void Run(HANDLE joined);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Handlers handlers_;
    HWND window_ = nullptr;
    std::thread thread_;
};

} // namespace kx::win32
