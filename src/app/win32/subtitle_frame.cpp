#include "app/win32/subtitle_frame.h"

#include "app/subtitle_mode.h"
#include "platform/win32/ui/dialog_layout.h"

#include <windowsx.h>

#include <cstdlib>

namespace kx::win32 {
namespace {

constexpr int kSnapDistance = 10;
constexpr DWORD kNormalFrame = SubtitleFrame::kNormalStyle;
constexpr DWORD kSubtitleFrame = SubtitleFrame::kSubtitleStyle;

} // namespace

void SubtitleFrame::Attach(HWND window, HWND logView)
{
    window_ = window;
    logView_ = logView;
    background_.Reset(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE)));
}

void SubtitleFrame::EnterSubtitle(COLORREF logBackground)
{
    subtitle_ = true;
    RECT outer;
    ::GetWindowRect(window_, &outer);
    ::SetMenu(window_, nullptr);
    ::SetWindowLongW(window_, GWL_STYLE, (::GetWindowLongW(window_, GWL_STYLE) & ~kNormalFrame) | kSubtitleFrame);
    ::SetWindowLongW(logView_, GWL_EXSTYLE, ::GetWindowLongW(logView_, GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE);
    ::SetWindowPos(logView_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    background_.Reset(::CreateSolidBrush(logBackground));
    // The strip is one picture with per-pixel alpha (the owner draws it):
    // the log view keeps its place and rows but is not shown itself.
    ::ShowWindow(logView_, SW_HIDE);
    // A window once given SetLayeredWindowAttributes takes no per-pixel
    // picture until the layered style is taken away and given again.
    const LONG exStyle = ::GetWindowLongW(window_, GWL_EXSTYLE);
    ::SetWindowLongW(window_, GWL_EXSTYLE, exStyle & ~WS_EX_LAYERED);
    ::SetWindowLongW(window_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    // The frame goes, the outer bounds stay.
    ::SetWindowPos(window_, nullptr, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    LayOutLogView();
}

void SubtitleFrame::LeaveSubtitle(HMENU menu)
{
    subtitle_ = false;
    // Back to a window that paints itself: the per-pixel picture goes with the
    // layered style, and the whole window's alpha (if any) comes back.
    ::SetWindowLongW(window_, GWL_EXSTYLE,
                     ::GetWindowLongW(window_, GWL_EXSTYLE) & ~(WS_EX_LAYERED | WS_EX_TRANSPARENT));
    clickThrough_ = false;
    SetAlpha(alpha_, alphaBlending_);
    ::ShowWindow(logView_, SW_SHOWNA);
    RECT outer;
    ::GetWindowRect(window_, &outer);
    ::SetMenu(window_, menu);
    ::SetWindowLongW(window_, GWL_STYLE, (::GetWindowLongW(window_, GWL_STYLE) & ~kSubtitleFrame) | kNormalFrame);
    ::SetWindowLongW(logView_, GWL_EXSTYLE, ::GetWindowLongW(logView_, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
    ::SetWindowPos(logView_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    background_.Reset(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE)));
    ::SetWindowPos(window_, nullptr, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    LayOutLogView();
    ::InvalidateRect(window_, nullptr, TRUE);
}

void SubtitleFrame::LayOutLogView()
{
    if (!logView_)
        return;
    RECT client;
    ::GetClientRect(window_, &client);
    const int margin = subtitle_ ? Scaled(kSubtitleMargin, dpi_) : 0;
    ::MoveWindow(logView_, margin, margin, client.right - 2 * margin, client.bottom - 2 * margin, TRUE);
}

void SubtitleFrame::EraseBackground(HDC dc)
{
    RECT client;
    ::GetClientRect(window_, &client);
    ::FillRect(dc, &client, background_.Get());
}

LRESULT SubtitleFrame::HitTest(LPARAM lParam) const
{
    if (!subtitle_)
        return 0;
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(window_, &p);
    RECT outer;
    ::GetWindowRect(window_, &outer);
    const HitArea area = SubtitleHitTest(p.x, p.y, outer.right - outer.left, outer.bottom - outer.top,
                                         Scaled(kSubtitleResizeBand, dpi_));
    return area == HitArea::Default ? 0 : static_cast<LRESULT>(area);
}

void SubtitleFrame::BeginDrag()
{
    ::ReleaseCapture();
    ::SendMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void SubtitleFrame::Snap(WINDOWPOS& pos) const
{
    if ((pos.flags & SWP_NOMOVE) || ::IsIconic(window_) || ::IsZoomed(window_))
        return;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    int width = pos.cx, height = pos.cy;
    if (pos.flags & SWP_NOSIZE) {
        RECT r;
        ::GetWindowRect(window_, &r);
        width = r.right - r.left;
        height = r.bottom - r.top;
    }
    const int distance = Scaled(kSnapDistance, dpi_);
    if (std::abs(pos.x - work.left) < distance)
        pos.x = work.left;
    else if (std::abs(pos.x + width - work.right) < distance)
        pos.x = work.right - width;
    if (std::abs(pos.y - work.top) < distance)
        pos.y = work.top;
    else if (std::abs(pos.y + height - work.bottom) < distance)
        pos.y = work.bottom - height;
}

void SubtitleFrame::SetTopMost(bool topMost, std::span<const HWND> owned)
{
    for (HWND window : owned)
        if (window && !::IsWindowVisible(window))
            ::SetWindowLongPtrW(window, GWLP_HWNDPARENT, 0);
    topMost_ = topMost;
    ::SetWindowPos(window_, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (HWND window : owned)
        if (window && !::IsWindowVisible(window))
            ::SetWindowLongPtrW(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(window_));
}

void SubtitleFrame::KeepOnTop()
{
    if (!subtitle_ || !::IsWindowVisible(window_))
        return;
    RECT strip;
    ::GetWindowRect(window_, &strip);
    const DWORD ourProcess = ::GetCurrentProcessId();
    for (HWND above = ::GetWindow(window_, GW_HWNDPREV); above; above = ::GetWindow(above, GW_HWNDPREV)) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(above, &process);
        RECT other, overlap;
        // Our own menus and dialogs may lie above; so may windows that do not cover the strip.
        if (process == ourProcess || !::IsWindowVisible(above) || !::GetWindowRect(above, &other) ||
            !::IntersectRect(&overlap, &strip, &other))
            continue;
        ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return;
    }
}

void SubtitleFrame::SetAlpha(BYTE alpha, bool blending)
{
    alpha_ = alpha;
    alphaBlending_ = blending;
    // In the strip the level is the background's only: the owner draws it again.
    if (subtitle_)
        return;
    const LONG exStyle = ::GetWindowLongW(window_, GWL_EXSTYLE);
    if (blending) {
        ::SetWindowLongW(window_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        ::SetLayeredWindowAttributes(window_, 0, alpha, LWA_ALPHA);
    } else if (clickThrough_) {
        // Click-through needs the window layered: opaque, then.
        ::SetLayeredWindowAttributes(window_, 0, 255, LWA_ALPHA);
    } else if (exStyle & WS_EX_LAYERED) {
        ::SetWindowLongW(window_, GWL_EXSTYLE, exStyle & ~WS_EX_LAYERED);
    }
}

void SubtitleFrame::SetClickThrough(bool on)
{
    clickThrough_ = on;
    LONG exStyle = ::GetWindowLongW(window_, GWL_EXSTYLE);
    if (subtitle_) {
        // The strip stays layered with its per-pixel picture.
        exStyle = on ? (exStyle | WS_EX_TRANSPARENT) : (exStyle & ~WS_EX_TRANSPARENT);
        ::SetWindowLongW(window_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        return;
    }
    if (on) {
        exStyle |= WS_EX_LAYERED | WS_EX_TRANSPARENT;
    } else {
        exStyle &= ~WS_EX_TRANSPARENT;
        if (!alphaBlending_)
            exStyle &= ~WS_EX_LAYERED;
    }
    ::SetWindowLongW(window_, GWL_EXSTYLE, exStyle);
    // A layered window shows nothing until it has its attributes.
    if (exStyle & WS_EX_LAYERED)
        ::SetLayeredWindowAttributes(window_, 0, alphaBlending_ ? alpha_ : 255, LWA_ALPHA);
}

} // namespace kx::win32
