#pragma once
// Subtitle mode: the borderless strip's resize bands.

namespace kx {

enum class HitArea {
    Default,  // let the window answer as usual
    Left = 10,
    Right = 11,
    Top = 12,
    TopLeft = 13,
    TopRight = 14,
    Bottom = 15,
    BottomLeft = 16,
    BottomRight = 17,
};

inline constexpr int kSubtitleResizeBand = 4;
inline constexpr int kSubtitleMargin = 2;

// Which resize band the point (client coordinates) lies in, for a window of
// outer width `w` and height `h`; the first matching rule wins.
HitArea SubtitleHitTest(int x, int y, int w, int h, int band = kSubtitleResizeBand);

} // namespace kx
