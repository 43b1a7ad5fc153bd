#pragma once
// The main window's frame: normal or the borderless subtitle strip (framing,
// the resize bands, dragging by the text), click-through, the transparency
// level, snapping to the work area's edges and the top-most band.
#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <span>

namespace kx::win32 {

class SubtitleFrame {
public:
    static constexpr DWORD kNormalStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    static constexpr DWORD kSubtitleStyle = WS_POPUP | WS_CLIPCHILDREN;

    // `window` is the main window, `logView` its only child.
    void Attach(HWND window, HWND logView);
    void SetDpi(int dpi) { dpi_ = dpi; }
    int Dpi() const { return dpi_; }

    // Into the strip (no menu, no frame, the log's background around the
    // text), the outer bounds kept; back to the normal window with `menu`.
    void EnterSubtitle(COLORREF logBackground);
    void LeaveSubtitle(HMENU menu);
    bool Subtitle() const { return subtitle_; }
    // The log view fills the client area, inside a thin margin in the strip.
    void LayOutLogView();
    // Paints the client area around the log view.
    void EraseBackground(HDC dc);

    // WM_NCHITTEST in the strip: the resize bands; nothing (0) elsewhere or
    // in the normal window, where the default answer holds.
    LRESULT HitTest(LPARAM lParam) const;
    // A drag of the strip by its text.
    void BeginDrag();
    // WM_WINDOWPOSCHANGING: moved near the work area's edges, it snaps to them.
    void Snap(WINDOWPOS& pos) const;

    // Wine lifts the windows that this one owns into the top-most band in its
    // place: the hidden ones among `owned` are let go of for the move.
    void SetTopMost(bool topMost, std::span<const HWND> owned);
    bool TopMost() const { return topMost_; }
    // The strip stays on top: when another program's window lies above it
    // and over it (a game that makes itself top-most, or is activated), the
    // strip is raised again without taking the keyboard. Asked twice a second.
    void KeepOnTop();

    // The level of the whole normal window; in the strip, of its background
    // only (the owner draws the strip again).
    void SetAlpha(BYTE alpha, bool blending);
    BYTE Alpha() const { return alpha_; }
    bool AlphaBlending() const { return alphaBlending_; }
    // WS_EX_TRANSPARENT (with WS_EX_LAYERED, keeping the alpha): every click
    // goes to the window below.
    void SetClickThrough(bool on);

private:
    HWND window_ = nullptr;
    HWND logView_ = nullptr;
    int dpi_ = 96;
    bool subtitle_ = false;
    bool clickThrough_ = false;
    bool topMost_ = false;
    BYTE alpha_ = 255;
    bool alphaBlending_ = false;
    UniqueBrush background_;
};

} // namespace kx::win32
