#pragma once
// The subtitle strip's picture: the rows the log view shows, drawn as opaque
// letters with an outline and a soft shadow over the background at its own
// opacity, handed to the window with per-pixel alpha (UpdateLayeredWindow).
#include "logview/strip_compositor.h"
#include "logview/win32/log_view_window.h"
#include "settings/app_settings.h"

#include <windows.h>

namespace kx::win32 {

struct StripPicture {
    StripLook look;
    StripAlign align = StripAlign::Bottom;
    int margin = 2;  // pixels between the window's edge and the text area
};

// Draws the strip into `window` (borderless, WS_EX_LAYERED). False when the
// system refused the picture.
bool DrawSubtitleStrip(HWND window, const LogViewWindow& view, const StripPicture& picture);

// 0x00RRGGBB from a COLORREF (0x00BBGGRR).
inline std::uint32_t RgbOf(COLORREF colour)
{
    return (static_cast<std::uint32_t>(GetRValue(colour)) << 16) | (static_cast<std::uint32_t>(GetGValue(colour)) << 8) |
           GetBValue(colour);
}

} // namespace kx::win32
