#pragma once
#include "platform/ui_thread_port.h"

#include <windows.h>

namespace kx::win32 {

// Wakes the UI thread by posting `message` to a window of that thread; the
// window procedure answers it by giving the pipeline its turn.
class Win32UiThread : public UiThreadPort {
public:
    Win32UiThread(HWND window, UINT message) : window_(window), message_(message) {}
    void Wake() override { ::PostMessageW(window_, message_, 0, 0); }

private:
    HWND window_;
    UINT message_;
};

} // namespace kx::win32
