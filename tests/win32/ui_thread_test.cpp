#include "platform/win32/win32_ui_thread.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace {

constexpr UINT kWorkMessage = WM_APP + 7;

// Runs the thread's messages until `done` or a second has passed.
template <typename Done> void PumpUntil(HWND window, kx::win32::Win32UiThread& ui, Done done)
{
    const ULONGLONG deadline = ::GetTickCount64() + 1000;
    MSG msg;
    while (!done() && ::GetTickCount64() < deadline) {
        if (::PeekMessageW(&msg, window, kWorkMessage, kWorkMessage, PM_REMOVE))
            ui.RunPosted();
        else
            ::Sleep(1);
    }
}

TEST(Win32UiThreadQueue, WorkFromOtherThreadsRunsInOrderOnThisThreadAndNotAfterClose)
{
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    kx::win32::Win32UiThread ui(window, kWorkMessage);
    std::vector<int> ran;
    const DWORD uiThread = ::GetCurrentThreadId();
    bool allOnUiThread = true;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i)
            ui.Post([&, i] {
                allOnUiThread = allOnUiThread && ::GetCurrentThreadId() == uiThread;
                ran.push_back(i);
            });
    });
    poster.join();
    PumpUntil(window, ui, [&] { return ran.size() == 100; });
    ASSERT_EQ(ran.size(), 100u);
    EXPECT_TRUE(allOnUiThread);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(ran[static_cast<size_t>(i)], i);

    // An item that throws leaves the others to run; its error comes after them.
    ui.Post([] { throw std::runtime_error("first"); });
    ui.Post([&] { ran.push_back(100); });
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, window, kWorkMessage, kWorkMessage, PM_REMOVE));
    EXPECT_THROW(ui.RunPosted(), std::runtime_error);
    EXPECT_EQ(ran.back(), 100);

    ui.Post([&] { ran.push_back(101); });
    ui.Close();
    ui.Post([&] { ran.push_back(102); });
    ui.RunPosted();
    EXPECT_EQ(ran.back(), 100) << "what waited at close, or came after, is dropped";
    ::DestroyWindow(window);
}

} // namespace
