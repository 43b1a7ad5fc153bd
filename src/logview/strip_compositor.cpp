#include "logview/strip_compositor.h"

#include <algorithm>
#include <cstddef>

namespace kx {
namespace {

// Beyond 8 pixels at 96 dpi scaled to 400 %; keeps the cost bounded.
constexpr int kMaxOutlineWidth = 32;
constexpr unsigned kShadowAlpha = 153;  // 60 %

using Plane = std::vector<std::uint8_t>;

// a * b / 255, rounded.
inline unsigned Mul255(unsigned a, unsigned b)
{
    const unsigned t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

// Each pixel becomes the largest value within `radius` of it (a disc). Rows
// are widened one pixel per step; each row of the disc, whose half-width is
// known, takes the widened row at that step: O(w * h * radius).
Plane DilateByDisc(const Plane& source, int width, int height, int radius)
{
    if (radius <= 0)
        return source;
    std::vector<int> halfWidth(2 * radius + 1);
    for (int dy = -radius; dy <= radius; ++dy) {
        int k = 0;
        while ((k + 1) * (k + 1) + dy * dy <= radius * radius)
            ++k;
        halfWidth[dy + radius] = k;
    }
    Plane out(source.size(), 0);
    Plane widened = source;  // row maximum over [x - k, x + k]
    for (int k = 0; k <= radius; ++k) {
        if (k > 0)
            for (int y = 0; y < height; ++y) {
                const std::uint8_t* src = &source[std::size_t(y) * width];
                std::uint8_t* row = &widened[std::size_t(y) * width];
                for (int x = k; x < width; ++x)
                    row[x] = std::max(row[x], src[x - k]);
                for (int x = 0; x + k < width; ++x)
                    row[x] = std::max(row[x], src[x + k]);
            }
        for (int dy = -radius; dy <= radius; ++dy) {
            if (halfWidth[dy + radius] != k)
                continue;
            for (int y = std::max(0, -dy); y < height && y + dy < height; ++y) {
                const std::uint8_t* from = &widened[std::size_t(y + dy) * width];
                std::uint8_t* to = &out[std::size_t(y) * width];
                for (int x = 0; x < width; ++x)
                    to[x] = std::max(to[x], from[x]);
            }
        }
    }
    return out;
}

// A 3x3 box blur (outside the plane counts as 0), a row at a time.
Plane Blur(const Plane& source, int width, int height)
{
    const auto third = [](unsigned sum) { return static_cast<std::uint8_t>((sum + 1) / 3); };
    Plane across(source.size());
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = &source[std::size_t(y) * width];
        std::uint8_t* dst = &across[std::size_t(y) * width];
        if (width == 1) {
            dst[0] = third(src[0]);
            continue;
        }
        dst[0] = third(src[0] + src[1]);
        for (int x = 1; x + 1 < width; ++x)
            dst[x] = third(src[x - 1] + src[x] + src[x + 1]);
        dst[width - 1] = third(src[width - 2] + src[width - 1]);
    }
    Plane out(source.size());
    const Plane zeros(width, 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* above = y > 0 ? &across[std::size_t(y - 1) * width] : zeros.data();
        const std::uint8_t* middle = &across[std::size_t(y) * width];
        const std::uint8_t* below = y + 1 < height ? &across[std::size_t(y + 1) * width] : zeros.data();
        std::uint8_t* dst = &out[std::size_t(y) * width];
        for (int x = 0; x < width; ++x)
            dst[x] = third(above[x] + middle[x] + below[x]);
    }
    return out;
}

// The plane moved `by` pixels right and down.
Plane Shift(const Plane& source, int width, int height, int by)
{
    Plane out(source.size(), 0);
    if (by >= width || by >= height)
        return out;
    for (int y = by; y < height; ++y)
        std::copy_n(&source[std::size_t(y - by) * width], width - by, &out[std::size_t(y) * width + by]);
    return out;
}

struct Pixel {
    unsigned a, r, g, b;  // premultiplied
};

// Paints `rgb` at `alpha` over `below` (premultiplied "over").
inline Pixel Over(const Pixel& below, std::uint32_t rgb, unsigned alpha)
{
    if (alpha == 0)
        return below;
    const unsigned keep = 255 - alpha;
    return {alpha + Mul255(below.a, keep), Mul255((rgb >> 16) & 0xFF, alpha) + Mul255(below.r, keep),
            Mul255((rgb >> 8) & 0xFF, alpha) + Mul255(below.g, keep), Mul255(rgb & 0xFF, alpha) + Mul255(below.b, keep)};
}

} // namespace

std::vector<std::uint32_t> ComposeStrip(const CoverageMask& letters, const StripLook& look)
{
    const int width = letters.width;
    const int height = letters.height;
    if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > SIZE_MAX / sizeof(std::uint32_t))
        return {};
    const std::size_t count = std::size_t(width) * std::size_t(height);

    // A mask shorter than its size says is read as empty where it ends.
    Plane coverage(count, 0);
    std::copy_n(letters.coverage.begin(), std::min(count, letters.coverage.size()), coverage.begin());

    const int radius = std::clamp(look.outlineWidth, 0, kMaxOutlineWidth);
    const Plane outline = DilateByDisc(coverage, width, height, radius);
    Plane shadow;
    if (look.shadow)
        shadow = Shift(Blur(Blur(outline, width, height), width, height), width, height, std::max(1, radius / 2 + 1));

    const Pixel background = Over({0, 0, 0, 0}, look.backgroundRgb, look.backgroundAlpha);
    const auto packed = [](Pixel p) { return (p.a << 24) | (p.r << 16) | (p.g << 8) | p.b; };
    const std::uint32_t backgroundPixel = packed(background);
    const std::uint32_t letterPixel = 0xFF000000 | (look.textRgb & 0xFFFFFF);
    std::vector<std::uint32_t> pixels(count);
    for (std::size_t i = 0; i < count; ++i) {
        // Most of a strip is background, and the letters' insides are opaque.
        if (coverage[i] == 255) {
            pixels[i] = letterPixel;
            continue;
        }
        if (outline[i] == 0 && (!look.shadow || shadow[i] == 0) && coverage[i] == 0) {
            pixels[i] = backgroundPixel;
            continue;
        }
        Pixel p = background;
        if (look.shadow)
            p = Over(p, 0x000000, Mul255(shadow[i], kShadowAlpha));
        if (radius > 0)
            p = Over(p, look.outlineRgb, outline[i]);
        p = Over(p, look.textRgb, coverage[i]);
        pixels[i] = packed(p);
    }
    return pixels;
}

} // namespace kx
