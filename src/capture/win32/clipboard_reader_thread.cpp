#include "capture/win32/clipboard_reader_thread.h"

#include "capture/clipboard_watcher.h"
#include "platform/win32/win32_clipboard.h"

#include <exception>
#include <memory>
#include <utility>

namespace kx::win32 {
namespace {

constexpr wchar_t kReaderClass[] = L"KestruneEXClipboardReader";

// What the reader's window procedure works with.
struct ReaderState {
    const ClipboardReaderThread::Handlers* handlers = nullptr;
    std::unique_ptr<Win32Clipboard> clipboard;
    std::unique_ptr<ClipboardWatcher> watcher;
};

} // namespace

ClipboardReaderThread::ClipboardReaderThread(Handlers handlers) : handlers_(std::move(handlers)) {}

ClipboardReaderThread::~ClipboardReaderThread()
{
    Leave();
}

void ClipboardReaderThread::Join()
{
    if (thread_.joinable())
        return;
    HANDLE joined = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, joined] { Run(joined); });
    ::WaitForSingleObject(joined, INFINITE);
    ::CloseHandle(joined);
}

void ClipboardReaderThread::Leave()
{
    if (!thread_.joinable())
        return;
    if (window_)
        ::PostMessageW(window_, WM_CLOSE, 0, 0);
    thread_.join();
    window_ = nullptr;
}

void ClipboardReaderThread::Run(HANDLE joined)
{
    ReaderState state;
    state.handlers = &handlers_;
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ClipboardReaderThread::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kReaderClass;
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowExW(0, kReaderClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance,
                                    nullptr);
    if (!window) {
        ::SetEvent(joined);
        return;
    }
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    state.clipboard = std::make_unique<Win32Clipboard>(window);
    state.watcher = std::make_unique<ClipboardWatcher>(
        *state.clipboard, [this](ClipboardText text) { handlers_.onText(std::move(text)); });
    window_ = window;
    state.watcher->Join();
    ::SetEvent(joined);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&msg);
}

namespace {

// Nothing may leave a window procedure: a report that fails in turn (no
// memory left for it) is dropped.
void ReportReadError(const ClipboardReaderThread::Handlers& handlers, const char* message) noexcept
{
    try {
        handlers.onError(message);
    } catch (...) {
    }
}

} // namespace

LRESULT CALLBACK ClipboardReaderThread::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<ReaderState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!state || !state->watcher)
        return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_DRAWCLIPBOARD:
        try {
            state->watcher->OnDrawClipboard(state->handlers->switches());
        } catch (const std::exception& e) {
            ReportReadError(*state->handlers, e.what());
        } catch (...) {
            ReportReadError(*state->handlers, "Unknown error");
        }
        return 0;
    case WM_CHANGECBCHAIN:
        state->watcher->OnChangeCbChain(static_cast<WindowId>(wParam), static_cast<WindowId>(lParam));
        return 0;
    case WM_CLOSE:
        state->watcher->Leave();
        ::DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace kx::win32
