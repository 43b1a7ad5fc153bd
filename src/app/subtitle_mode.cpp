#include "app/subtitle_mode.h"

namespace kx {

HitArea SubtitleHitTest(int x, int y, int w, int h, int band)
{
    const bool left = x < band;
    const bool right = x > w - band;
    const bool top = y < band;
    const bool bottom = y > h - band;
    if (left && top)
        return HitArea::TopLeft;
    if (right && top)
        return HitArea::TopRight;
    if (right && bottom)
        return HitArea::BottomRight;
    if (left && bottom)
        return HitArea::BottomLeft;
    if (left)
        return HitArea::Left;
    if (top)
        return HitArea::Top;
    if (right)
        return HitArea::Right;
    if (bottom)
        return HitArea::Bottom;
    return HitArea::Default;
}

} // namespace kx
