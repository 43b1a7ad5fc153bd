#include "app/win32/subtitle_strip.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kx::win32 {
namespace {

// A top-down 32-bit surface selected into a memory DC.
class Surface {
public:
    Surface(int width, int height) : dc_(::CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (bitmap_)
            old_ = ::SelectObject(dc_, bitmap_);
    }
    ~Surface()
    {
        if (old_)
            ::SelectObject(dc_, old_);
        if (bitmap_)
            ::DeleteObject(bitmap_);
        ::DeleteDC(dc_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    bool Ok() const { return bitmap_ && bits_; }
    HDC Dc() const { return dc_; }
    std::uint32_t* Pixels() const { return static_cast<std::uint32_t*>(bits_); }

private:
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};

// The view's font drawn in grey levels (no ClearType colour fringes), so one
// channel is the letters' coverage.
HFONT CoverageFont(HFONT viewFont)
{
    LOGFONTW font{};
    if (!viewFont || !::GetObjectW(viewFont, sizeof font, &font))
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfQuality = ANTIALIASED_QUALITY;
    return ::CreateFontIndirectW(&font);
}

} // namespace

bool DrawSubtitleStrip(HWND window, const LogViewWindow& view, const StripPicture& picture)
{
    RECT bounds;
    ::GetWindowRect(window, &bounds);
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0)
        return false;
    Surface surface(width, height);
    if (!surface.Ok())
        return false;
    std::memset(surface.Pixels(), 0, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);

    HFONT font = CoverageFont(view.Font());
    HGDIOBJ oldFont = ::SelectObject(surface.Dc(), font);
    ::SetTextColor(surface.Dc(), RGB(255, 255, 255));
    ::SetBkMode(surface.Dc(), TRANSPARENT);
    const std::vector<LogLayout::Row> rows = view.VisibleRows();
    const int lineHeight = view.LineHeight();
    const int textHeight = height - 2 * picture.margin;
    const int shownRows = std::min<int>(static_cast<int>(rows.size()), std::max(1, textHeight / lineHeight));
    // The newest text sits at the bottom (or the top) when it does not fill the strip.
    int y = picture.margin;
    if (picture.align == StripAlign::Bottom && shownRows * lineHeight < textHeight)
        y = picture.margin + textHeight - shownRows * lineHeight;
    const auto first = rows.size() > static_cast<std::size_t>(shownRows) && picture.align == StripAlign::Bottom &&
                               view.FollowsEnd()
                           ? rows.size() - static_cast<std::size_t>(shownRows)
                           : 0;
    for (std::size_t i = first; i < rows.size() && i < first + static_cast<std::size_t>(shownRows); ++i) {
        const std::u16string_view row = view.RowText(rows[i]);
        ::ExtTextOutW(surface.Dc(), picture.margin + LogViewWindow::kTextMargin, y, 0, nullptr,
                      reinterpret_cast<const wchar_t*>(row.data()), static_cast<UINT>(row.size()), nullptr);
        y += lineHeight;
    }
    ::GdiFlush();
    ::SelectObject(surface.Dc(), oldFont);
    ::DeleteObject(font);

    CoverageMask mask;
    mask.width = width;
    mask.height = height;
    mask.coverage.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const std::uint32_t* pixels = surface.Pixels();
    for (std::size_t i = 0; i < mask.coverage.size(); ++i)
        mask.coverage[i] = static_cast<std::uint8_t>((pixels[i] >> 8) & 0xFF);  // green
    const std::vector<std::uint32_t> composed = ComposeStrip(mask, picture.look);
    if (composed.size() != mask.coverage.size())
        return false;
    std::memcpy(surface.Pixels(), composed.data(), composed.size() * 4);

    POINT origin{bounds.left, bounds.top};
    SIZE size{width, height};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    HDC screen = ::GetDC(nullptr);
    const BOOL drawn = ::UpdateLayeredWindow(window, screen, &origin, &size, surface.Dc(), &source, 0, &blend, ULW_ALPHA);
    ::ReleaseDC(nullptr, screen);
    return drawn != FALSE;
}

} // namespace kx::win32
