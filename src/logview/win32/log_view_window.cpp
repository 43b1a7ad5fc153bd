#include "logview/win32/log_view_window.h"

#include "common/text.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace kx::win32 {
namespace {

constexpr wchar_t kClassName[] = L"KestruneEXLogView";
constexpr int kMargin = LogViewWindow::kTextMargin;
constexpr std::uint16_t kUnknownWidth = 0xFFFF;

void RegisterClassOnce(HINSTANCE instance, WNDPROC proc)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(instance, kClassName, &wc))
        return;
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_IBEAM);
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);
}

} // namespace

GdiCharacterMeasure::GdiCharacterMeasure() : dc_(::CreateCompatibleDC(nullptr)), basic_(0x10000, kUnknownWidth)
{
    SetFont(nullptr);
}

GdiCharacterMeasure::~GdiCharacterMeasure()
{
    if (oldFont_)
        ::SelectObject(dc_, oldFont_);
    ::DeleteDC(dc_);
}

void GdiCharacterMeasure::SetFont(HFONT font)
{
    HGDIOBJ previous = ::SelectObject(dc_, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    if (!oldFont_)
        oldFont_ = previous;
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc_, &metrics);
    lineHeight_ = metrics.tmHeight > 0 ? metrics.tmHeight : 16;
    std::fill(basic_.begin(), basic_.end(), kUnknownWidth);
    others_.clear();
}

int GdiCharacterMeasure::Width(char32_t character)
{
    if (character < 0x10000 && basic_[character] != kUnknownWidth)
        return basic_[character];
    if (character >= 0x10000)
        if (auto found = others_.find(character); found != others_.end())
            return found->second;
    wchar_t units[2];
    int count = 1;
    if (character >= 0x10000) {
        units[0] = static_cast<wchar_t>(0xD800 + ((character - 0x10000) >> 10));
        units[1] = static_cast<wchar_t>(0xDC00 + ((character - 0x10000) & 0x3FF));
        count = 2;
    } else {
        units[0] = static_cast<wchar_t>(character);
    }
    SIZE size{};
    ::GetTextExtentPoint32W(dc_, units, count, &size);
    const int width = std::clamp<int>(size.cx, 0, 0xFFFE);
    if (character < 0x10000)
        basic_[character] = static_cast<std::uint16_t>(width);
    else
        others_[character] = width;
    return width;
}

LogViewWindow::~LogViewWindow()
{
    if (window_ && ::IsWindow(window_))
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
}

HWND LogViewWindow::Create(HWND parent, int id, DWORD exStyle)
{
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    RegisterClassOnce(instance, &LogViewWindow::WindowProc);
    window_ = ::CreateWindowExW(exStyle, kClassName, L"", kStyle, 0, 0, 100, 100, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
    return window_;
}

LRESULT CALLBACK LogViewWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<LogViewWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<LogViewWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // Out of memory on a huge text: the view stays as it was.
        return 0;
    }
}

LRESULT LogViewWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint fills every pixel
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wParam);
        measure_.SetFont(font_);
        layout_.Reset(TextWidth());
        Changed();
        if (LOWORD(lParam))
            ::InvalidateRect(window_, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(text_.Length());
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam)
            return 0;
        const std::size_t count = std::min<std::size_t>(text_.Length(), static_cast<std::size_t>(wParam) - 1);
        auto* buffer = reinterpret_cast<wchar_t*>(lParam);
        std::memcpy(buffer, text_.Text().data(), count * sizeof(wchar_t));
        buffer[count] = L'\0';
        return static_cast<LRESULT>(count);
    }
    // The edit box's line messages, counted in the log's own lines (CR LF
    // separated; a closing CR LF opens an empty last line, as in an edit
    // box), so that a reader can take the end of a huge log without it all.
    case EM_GETLINECOUNT:
        return static_cast<LRESULT>(std::max<std::size_t>(1, text_.LineCount() + (text_.EndsWithLineBreak() ? 1 : 0)));
    case EM_LINEINDEX: {
        const auto line = static_cast<std::size_t>(wParam);
        if (static_cast<int>(wParam) < 0)
            return static_cast<LRESULT>(text_.LineStart(text_.LineOfOffset(selection_.caret)));
        return line <= text_.LineCount() ? static_cast<LRESULT>(text_.LineStart(line)) : -1;
    }
    case EM_LINELENGTH: {
        const std::size_t line = text_.LineOfOffset(static_cast<std::size_t>(wParam));
        return line < text_.LineCount() ? static_cast<LRESULT>(text_.LineEnd(line) - text_.LineStart(line)) : 0;
    }
    case EM_GETLINE: {
        const auto line = static_cast<std::size_t>(wParam);
        auto* buffer = reinterpret_cast<wchar_t*>(lParam);
        if (!buffer || line >= text_.LineCount())
            return 0;
        const std::size_t room = *reinterpret_cast<const WORD*>(buffer);
        const std::size_t count = std::min(room, text_.LineEnd(line) - text_.LineStart(line));
        std::memcpy(buffer, text_.Text().data() + text_.LineStart(line), count * sizeof(wchar_t));
        return static_cast<LRESULT>(count);  // not terminated, as an edit box does
    }
    case WM_SETTEXT: {
        const auto* text = reinterpret_cast<const wchar_t*>(lParam);
        SetText(text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string());
        return TRUE;
    }
    case WM_VSCROLL:
        OnVScroll(LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL:
        OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_KEYDOWN:
        if (OnKeyDown(wParam))
            return 0;
        break;
    case WM_LBUTTONDOWN:
        ::SetFocus(window_);
        OnMouseDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), (wParam & MK_SHIFT) != 0);
        return 0;
    case WM_MOUSEMOVE:
        if (selecting_)
            OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (selecting_) {
            selecting_ = false;
            if (message == WM_LBUTTONUP)
                ::ReleaseCapture();
        }
        return 0;
    case WM_COPY:
        CopySelection();
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_NCDESTROY: {
        // The window is still real for the default handling of its last message.
        HWND destroyed = std::exchange(window_, nullptr);
        ::SetWindowLongPtrW(destroyed, GWLP_USERDATA, 0);
        return ::DefWindowProcW(destroyed, message, wParam, lParam);
    }
    default:
        break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

int LogViewWindow::TextWidth() const
{
    RECT client{};
    if (window_)
        ::GetClientRect(window_, &client);
    return std::max<int>(1, client.right - 2 * kMargin);
}

int LogViewWindow::VisibleRowCount() const
{
    RECT client{};
    if (window_)
        ::GetClientRect(window_, &client);
    return std::max(1, static_cast<int>(client.bottom) / measure_.LineHeight());
}

int LogViewWindow::VisualLineCount() const
{
    return layout_.CountRows(2);
}

std::vector<LogLayout::Row> LogViewWindow::VisibleRows() const
{
    std::vector<LogLayout::Row> rows;
    const int count = VisibleRowCount() + 1;  // a part of one more row shows at the bottom
    for (std::optional<LogLayout::Row> row = layout_.RowAt(top_); row && static_cast<int>(rows.size()) < count;
         row = layout_.Next(*row))
        rows.push_back(*row);
    return rows;
}

std::size_t LogViewWindow::EndTop() const
{
    std::optional<LogLayout::Row> row = layout_.Last();
    if (!row)
        return 0;
    for (int i = 1; i < VisibleRowCount(); ++i) {
        std::optional<LogLayout::Row> previous = layout_.Previous(*row);
        if (!previous)
            break;
        row = previous;
    }
    return row->start;
}

bool LogViewWindow::AtEnd() const
{
    return top_ >= EndTop();
}

void LogViewWindow::ScrollToEnd()
{
    top_ = EndTop();
}

void LogViewWindow::ScrollToStart()
{
    top_ = 0;
}

void LogViewWindow::ScrollRows(int rows)
{
    std::optional<LogLayout::Row> row = layout_.RowAt(top_);
    const std::size_t endTop = EndTop();
    for (; row && rows > 0 && row->start < endTop; --rows)
        if (std::optional<LogLayout::Row> next = layout_.Next(*row))
            row = next;
        else
            break;
    for (; row && rows < 0; ++rows)
        if (std::optional<LogLayout::Row> previous = layout_.Previous(*row))
            row = previous;
        else
            break;
    top_ = row ? row->start : 0;
    followEnd_ = AtEnd();
    UpdateScrollBar();
    ::InvalidateRect(window_, nullptr, FALSE);
    if (onChanged_)
        onChanged_();
}

void LogViewWindow::UpdateScrollBar()
{
    if (!window_)
        return;
    // Measured in text units: exact whatever the rows, and no row count of
    // the whole log is ever needed.
    const std::size_t length = text_.Length();
    const std::vector<LogLayout::Row> rows = VisibleRows();
    const std::size_t shownEnd = rows.empty() ? 0 : rows.back().end;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    const bool all = top_ == 0 && shownEnd >= length && static_cast<int>(rows.size()) <= VisibleRowCount();
    const auto cap = static_cast<std::size_t>(0x7FFFFFFE);
    info.nMin = 0;
    info.nMax = all ? 0 : static_cast<int>(std::min(length, cap));
    info.nPage = all ? 1 : static_cast<UINT>(std::min(shownEnd > top_ ? shownEnd - top_ : 1, cap));
    info.nPos = all ? 0 : static_cast<int>(std::min(top_, cap));
    ::SetScrollInfo(window_, SB_VERT, &info, TRUE);
}

void LogViewWindow::Changed()
{
    if (followEnd_)
        ScrollToEnd();
    else if (const std::optional<LogLayout::Row> row = layout_.RowAt(top_))
        top_ = row->start;
    else
        top_ = 0;
    UpdateScrollBar();
    if (window_)
        ::InvalidateRect(window_, nullptr, FALSE);
    if (onChanged_)
        onChanged_();
}

void LogViewWindow::InsertAt(std::size_t position, const std::u16string& text)
{
    ++edits_;
    position = std::min(position, text_.Length());
    text_.Insert(position, text);
    SelectionAfterChange(position, 0, text.size());
    Changed();
}

void LogViewWindow::Replace(std::size_t position, std::size_t length, const std::u16string& text)
{
    ++edits_;
    position = std::min(position, text_.Length());
    length = std::min(length, text_.Length() - position);
    text_.Replace(position, length, text);
    layout_.ForgetFrom(position);
    SelectionAfterChange(position, length, text.size());
    Changed();
}

// What the user selected stays selected while lines come in (or a line is
// written again in place); a mere caret goes behind the new text. The view
// follows the end only while the user is there.
void LogViewWindow::SelectionAfterChange(std::size_t position, std::size_t removed, std::size_t inserted)
{
    if (!selection_.Empty())
        selection_ = SelectionAfterEdit(selection_, position, removed, inserted);
    if (selection_.Empty())
        selection_ = {position + inserted, position + inserted};
}

void LogViewWindow::SetText(const std::u16string& text)
{
    ++edits_;
    text_.Assign(text);
    layout_.Forget();
    selection_ = {};
    // A replaced log is shown from its beginning.
    top_ = 0;
    followEnd_ = AtEnd();
    UpdateScrollBar();
    if (window_)
        ::InvalidateRect(window_, nullptr, FALSE);
    if (onChanged_)
        onChanged_();
}

void LogViewWindow::OnSize()
{
    layout_.Reset(TextWidth());
    Changed();
}

void LogViewWindow::OnVScroll(int request)
{
    switch (request) {
    case SB_LINEUP:
        ScrollRows(-1);
        break;
    case SB_LINEDOWN:
        ScrollRows(1);
        break;
    case SB_PAGEUP:
        ScrollRows(-std::max(1, VisibleRowCount() - 1));
        break;
    case SB_PAGEDOWN:
        ScrollRows(std::max(1, VisibleRowCount() - 1));
        break;
    case SB_TOP:
        ScrollToStart();
        ScrollRows(0);
        break;
    case SB_BOTTOM:
        ScrollToEnd();
        ScrollRows(0);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        ::GetScrollInfo(window_, SB_VERT, &info);
        const std::optional<LogLayout::Row> row = layout_.RowAt(static_cast<std::size_t>(std::max(0, info.nTrackPos)));
        top_ = row ? std::min(row->start, EndTop()) : 0;
        ScrollRows(0);
        break;
    }
    default:
        break;
    }
}

void LogViewWindow::OnMouseWheel(int delta)
{
    UINT linesPerNotch = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &linesPerNotch, 0);
    wheelRemainder_ += delta;
    const int notches = wheelRemainder_ / WHEEL_DELTA;
    wheelRemainder_ -= notches * WHEEL_DELTA;
    if (notches == 0)
        return;
    if (linesPerNotch == WHEEL_PAGESCROLL)
        ScrollRows(-notches * std::max(1, VisibleRowCount() - 1));
    else
        ScrollRows(-notches * static_cast<int>(linesPerNotch));
}

bool LogViewWindow::OnKeyDown(WPARAM key)
{
    const bool control = ::GetKeyState(VK_CONTROL) < 0;
    switch (key) {
    case VK_UP:
        ScrollRows(-1);
        return true;
    case VK_DOWN:
        ScrollRows(1);
        return true;
    case VK_PRIOR:
        OnVScroll(SB_PAGEUP);
        return true;
    case VK_NEXT:
        OnVScroll(SB_PAGEDOWN);
        return true;
    case VK_HOME:
        if (control)
            OnVScroll(SB_TOP);
        return control;
    case VK_END:
        if (control)
            OnVScroll(SB_BOTTOM);
        return control;
    case 'A':
        if (!control)
            return false;
        selection_ = {0, text_.Length()};
        ::InvalidateRect(window_, nullptr, FALSE);
        return true;
    case 'C':
    case VK_INSERT:
        if (!control)
            return false;
        CopySelection();
        return true;
    default:
        return false;
    }
}

std::size_t LogViewWindow::OffsetAtPoint(int x, int y) const
{
    const std::vector<LogLayout::Row> rows = VisibleRows();
    if (rows.empty())
        return 0;
    if (y < 0)
        return rows.front().start;
    const auto index = static_cast<std::size_t>(y / measure_.LineHeight());
    if (index >= rows.size())
        return rows.back().end;
    return layout_.OffsetAtX(rows[index], x - kMargin);
}

void LogViewWindow::OnMouseDown(int x, int y, bool extend)
{
    const std::size_t offset = OffsetAtPoint(x, y);
    if (extend)
        selection_.caret = offset;
    else
        selection_ = {offset, offset};
    selecting_ = true;
    ::SetCapture(window_);
    ::InvalidateRect(window_, nullptr, FALSE);
}

void LogViewWindow::OnMouseMove(int x, int y)
{
    RECT client;
    ::GetClientRect(window_, &client);
    // Dragged past the top or bottom: the view scrolls along.
    if (y < 0)
        ScrollRows(-1);
    else if (y >= client.bottom)
        ScrollRows(1);
    selection_.caret = OffsetAtPoint(x, std::clamp<int>(y, 0, std::max<int>(0, client.bottom - 1)));
    ::InvalidateRect(window_, nullptr, FALSE);
}

void LogViewWindow::CopySelection()
{
    if (selection_.Empty())
        return;
    const std::u16string selected = SelectedText(text_, selection_);
    if (!::OpenClipboard(window_))
        return;
    ::EmptyClipboard();
    const std::size_t bytes = (selected.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = ::GlobalLock(block)) {
            std::memcpy(target, selected.c_str(), bytes);
            ::GlobalUnlock(block);
            if (!::SetClipboardData(CF_UNICODETEXT, block))
                ::GlobalFree(block);
        } else {
            ::GlobalFree(block);
        }
    }
    ::CloseClipboard();
}

void LogViewWindow::OnPaint()
{
    PAINTSTRUCT paint;
    HDC target = ::BeginPaint(window_, &paint);
    RECT client;
    ::GetClientRect(window_, &client);
    HDC dc = ::CreateCompatibleDC(target);
    HBITMAP bitmap = ::CreateCompatibleBitmap(target, std::max<int>(1, client.right), std::max<int>(1, client.bottom));
    HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
    HGDIOBJ oldFont = ::SelectObject(dc, font_ ? font_ : ::GetStockObject(DEFAULT_GUI_FONT));

    // The parent chooses the colours, as for an edit box.
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
    auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(::GetParent(window_), WM_CTLCOLOREDIT,
                                                         reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window_)));
    ::FillRect(dc, &client, brush ? brush : ::GetSysColorBrush(COLOR_WINDOW));
    const COLORREF textColour = ::GetTextColor(dc);
    ::SetBkMode(dc, TRANSPARENT);

    const int lineHeight = measure_.LineHeight();
    const std::u16string& text = text_.Text();
    const std::size_t selBegin = selection_.Begin(), selEnd = selection_.End();
    int y = 0;
    for (const LogLayout::Row& row : VisibleRows()) {
        // Spaces at a row's end are not drawn past the edge.
        auto draw = [&](std::size_t from, std::size_t to, bool selected) {
            if (from >= to)
                return;
            const int left = kMargin + layout_.XOfOffset(row, from);
            if (selected) {
                const int right = kMargin + layout_.XOfOffset(row, to);
                RECT box{left, y, right, y + lineHeight};
                ::FillRect(dc, &box, ::GetSysColorBrush(COLOR_HIGHLIGHT));
                ::SetTextColor(dc, ::GetSysColor(COLOR_HIGHLIGHTTEXT));
            } else {
                ::SetTextColor(dc, textColour);
            }
            ::ExtTextOutW(dc, left, y, 0, nullptr, reinterpret_cast<const wchar_t*>(text.data() + from),
                          static_cast<UINT>(to - from), nullptr);
        };
        const std::size_t a = std::clamp(selBegin, row.start, row.end);
        const std::size_t b = std::clamp(selEnd, row.start, row.end);
        draw(row.start, a, false);
        draw(a, b, true);
        draw(b, row.end, false);
        y += lineHeight;
    }

    ::BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    ::SelectObject(dc, oldFont);
    ::SelectObject(dc, oldBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::EndPaint(window_, &paint);
}

} // namespace kx::win32
