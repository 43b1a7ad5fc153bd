// Time from a clipboard change to the captured line standing in the log view,
// with a small (10 KB) and a large (10 MB) log already in the view. Runs the
// real clipboard viewer chain, decoder, text sink and EDIT control under
// Wine; prints both medians and their ratio, measured in one run.
#include "capture/capture_pipeline.h"
#include "capture/clipboard_watcher.h"
#include "capture/text_decoding.h"
#include "logview/win32/log_view_window.h"
#include "platform/win32/win32_clipboard.h"
#include "platform/win32/win32_code_pages.h"
#include "platform/win32/win32_ui_thread.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace kx;
using namespace kx::win32;
using Clock = std::chrono::steady_clock;

namespace {

struct NoTranslation : Translator {
    Translation Translate(std::u16string_view) override { return {}; }
};

struct Viewer {
    HWND window = nullptr;
    std::unique_ptr<LogViewWindow> view;
    std::unique_ptr<Win32Clipboard> clipboard;
    std::unique_ptr<ClipboardWatcher> watcher;
    std::unique_ptr<Win32UiThread> uiThread;
    std::unique_ptr<CapturePipeline> pipeline;
    AppSettings settings;
    Win32CodePages codePages;
    NoTranslation translator;
};

Viewer* g_viewer = nullptr;
constexpr UINT kTurnMessage = WM_APP + 2;

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_viewer && g_viewer->watcher) {
        if (message == WM_DRAWCLIPBOARD) {
            g_viewer->watcher->OnDrawClipboard({true, false});
            return 0;
        }
        if (message == kTurnMessage) {
            g_viewer->uiThread->RunPosted();
            return 0;
        }
        if (message == WM_CHANGECBCHAIN) {
            g_viewer->watcher->OnChangeCbChain(wParam, lParam);
            return 0;
        }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void PutOnClipboard(HWND owner, const std::string& text)
{
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    char* bytes = static_cast<char*>(::GlobalLock(block));
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    ::GlobalUnlock(block);
    while (!::OpenClipboard(owner))
        ::Sleep(1);
    ::EmptyClipboard();
    ::SetClipboardData(CF_TEXT, block);
    ::CloseClipboard();
}

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::u16string LogOfSize(std::size_t units)
{
    std::u16string log;
    log.reserve(units + 64);
    int n = 0;
    while (log.size() < units) {
        log += u"A captured game line number ";
        for (char c : std::to_string(n++))
            log.push_back(static_cast<char16_t>(c));
        log += u", with some words after it.\r\n";
    }
    return log;
}

// Median time of the EDIT control's own messages that one append sends, on
// the log now in the view; tells the control's share from ours.
void PrintControlBreakdown(HWND edit)
{
    auto median = [](auto&& action) {
        std::vector<double> times;
        for (int i = 0; i < 15; ++i) {
            const auto start = Clock::now();
            action();
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    const LRESULT lines = ::SendMessageW(edit, EM_GETLINECOUNT, 0, 0);
    const double lineCount = median([&] { ::SendMessageW(edit, EM_GETLINECOUNT, 0, 0); });
    const double lineIndex = median([&] { ::SendMessageW(edit, EM_LINEINDEX, lines - 1, 0); });
    const double setSel = median([&] {
        const int length = ::GetWindowTextLengthW(edit);
        ::SendMessageW(edit, EM_SETSEL, length, length);
    });
    const double replace = median([&] { ::SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"x")); });
    const double scroll = median([&] { ::SendMessageW(edit, EM_SCROLLCARET, 0, 0); });
    std::printf("    EDIT messages at %ld lines: EM_GETLINECOUNT %.3f, EM_LINEINDEX %.3f, EM_SETSEL %.3f, "
                "EM_REPLACESEL %.3f, EM_SCROLLCARET %.3f ms\n",
                static_cast<long>(lines), lineCount, lineIndex, setSel, replace, scroll);
}

// Median milliseconds from the clipboard change to the line in the view.
double MeasureAppend(Viewer& viewer, HWND source, std::size_t logUnits, int rounds)
{
    viewer.view->SetText(LogOfSize(logUnits));
    Pump();
    std::printf("  log in the view: %zu units, %d lines\n", viewer.view->TextLength(), viewer.view->VisualLineCount());
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const std::size_t before = viewer.view->TextLength();
        const std::string line = "short line " + std::to_string(i);
        const auto start = Clock::now();
        PutOnClipboard(source, line);
        while (viewer.view->TextLength() == before) {
            Pump();
            if (Clock::now() - start > std::chrono::seconds(30)) {
                std::fprintf(stderr, "the line never arrived\n");
                std::exit(1);
            }
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    PrintControlBreakdown(viewer.view->Handle());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 25;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ViewerProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"CaptureLatencyBench";
    ::RegisterClassW(&wc);

    Viewer viewer;
    g_viewer = &viewer;
    viewer.window = ::CreateWindowExW(0, wc.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 640, 240, nullptr,
                                      nullptr, instance, nullptr);
    viewer.view = std::make_unique<LogViewWindow>();
    HWND edit = viewer.view->Create(viewer.window, 1000);
    ::MoveWindow(edit, 0, 0, 620, 200, FALSE);
    viewer.clipboard = std::make_unique<Win32Clipboard>(viewer.window);
    viewer.uiThread = std::make_unique<Win32UiThread>(viewer.window, kTurnMessage);
    viewer.pipeline = std::make_unique<CapturePipeline>(viewer.codePages, *viewer.view, viewer.translator,
                                                        *viewer.uiThread, AnsiLeadBytes{});
    viewer.watcher = std::make_unique<ClipboardWatcher>(*viewer.clipboard, [&viewer](const ClipboardText& text) {
        viewer.pipeline->Read(CapturedText{text.bytes, {}, Ascii, viewer.settings.Sink(), false, nullptr, {}});
    });
    viewer.watcher->Join();
    HWND source = ::CreateWindowExW(0, L"STATIC", L"source", 0, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);

    const double small = MeasureAppend(viewer, source, 10 * 1000 / 2, rounds);       // 10 KB of UTF-16
    const double large = MeasureAppend(viewer, source, 10 * 1000 * 1000 / 2, rounds);  // 10 MB of UTF-16
    std::printf("clipboard change to line in the log view, median of %d:\n", rounds);
    std::printf("  log of 10 KB: %9.3f ms\n", small);
    std::printf("  log of 10 MB: %9.3f ms\n", large);
    std::printf("  ratio 10 MB / 10 KB: %6.2f\n", large / small);
    viewer.watcher->Leave();
    return 0;
}
