#include "platform/win32/win32_clipboard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using kx::win32::Win32Clipboard;
using Clock = std::chrono::steady_clock;

namespace {

// The window that the last WM_CHANGECBCHAIN said leaves the chain.
std::atomic<WPARAM> leftTheChain{0};

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHANGECBCHAIN)
        leftTheChain = wParam;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND HiddenWindow()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = ViewerProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KxTestClipboardViewer";
    ::RegisterClassW(&wc);  // fails harmlessly when already registered
    return ::CreateWindowExW(0, wc.lpszClassName, L"kx-test-viewer", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             wc.hInstance, nullptr);
}

// Another program's viewer on a thread of its own: it joins the chain after
// ours, so it is first, and then stops answering until it is released (10 s
// at the latest), whereupon it reads what reached it meanwhile and leaves.
class HungViewer {
public:
    HungViewer()
        : joined_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          thread_([this] { Run(); })
    {
        ::WaitForSingleObject(joined_, 10000);
    }
    ~HungViewer()
    {
        ::SetEvent(release_);
        thread_.join();
        ::CloseHandle(joined_);
        ::CloseHandle(release_);
    }
    HWND Window() const { return window_; }

private:
    void Run()
    {
        window_ = HiddenWindow();
        HWND next = ::SetClipboardViewer(window_);
        ::SetEvent(joined_);
        ::WaitForSingleObject(release_, 10000);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        ::ChangeClipboardChain(window_, next);
        ::DestroyWindow(window_);
    }

    HANDLE joined_;
    HANDLE release_;
    HWND window_ = nullptr;
    std::thread thread_;
};

TEST(ClipboardChainTest, LeavingDoesNotWaitForAViewerThatStoppedAnswering)
{
    HWND ours = HiddenWindow();
    ASSERT_NE(ours, nullptr);
    Win32Clipboard clipboard(ours);
    const kx::WindowId next = clipboard.JoinViewerChain();
    ASSERT_EQ(::GetClipboardViewer(), ours);
    {
        HungViewer other;
        ASSERT_EQ(::GetClipboardViewer(), other.Window());
        const Clock::time_point start = Clock::now();
        clipboard.LeaveViewerChain(next);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 3.0);
    }
    // Once it answers again it learns that ours has left.
    EXPECT_EQ(leftTheChain.load(), reinterpret_cast<WPARAM>(ours));
    ::DestroyWindow(ours);
}

} // namespace
