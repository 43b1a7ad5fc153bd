#pragma once
// The subtitle strip's pixels: opaque letters in the text colour with an
// outline and an optional soft shadow, over the background at its own
// opacity. A pure function of a coverage mask of the letters (0..255 per
// pixel, as the font drew them) and the look, so that it is tested without a
// screen; the Win32 strip hands the result to UpdateLayeredWindow.
#include <cstdint>
#include <vector>

namespace kx {

struct StripLook {
    std::uint32_t textRgb = 0xFFFFFF;      // 0x00RRGGBB
    std::uint32_t outlineRgb = 0x000000;
    std::uint32_t backgroundRgb = 0x000000;
    std::uint8_t backgroundAlpha = 255;    // 0: only the letters show
    int outlineWidth = 2;                  // pixels, 0: no outline
    bool shadow = true;
};

struct CoverageMask {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> coverage;  // width * height, row by row from the top
};

// Premultiplied BGRA pixels (0xAARRGGBB as a 32-bit value, each colour
// channel already multiplied by alpha), width * height, row by row from the
// top: the layout UpdateLayeredWindow takes from a top-down 32-bit DIB.
std::vector<std::uint32_t> ComposeStrip(const CoverageMask& letters, const StripLook& look);

} // namespace kx
