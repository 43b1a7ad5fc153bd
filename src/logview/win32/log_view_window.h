#pragma once
// The log view: a window class of the program's own in place of the EDIT
// control. Read-only, word-wrapped text that follows the end while the user
// is at the end; it lays out and paints only what is shown, so a huge log or
// a huge capture costs no more than the rows in view. Mouse and keyboard
// selection, Ctrl+A and Ctrl+C, the wheel, the arrows, Page Up/Down and
// Ctrl+Home/End work as in an edit box; WM_GETTEXT and WM_GETTEXTLENGTH give
// the whole log, so other programs and screen readers still read it.
// Colours come from the parent's WM_CTLCOLOREDIT, the font from WM_SETFONT.
#include "logview/log_layout.h"
#include "logview/log_text.h"
#include "logview/wrap.h"
#include "platform/log_view_port.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kx::win32 {

// Widths of characters as GDI draws them with one font (linked fonts
// included), each asked once.
class GdiCharacterMeasure : public CharacterMeasure {
public:
    GdiCharacterMeasure();
    ~GdiCharacterMeasure() override;
    GdiCharacterMeasure(const GdiCharacterMeasure&) = delete;
    GdiCharacterMeasure& operator=(const GdiCharacterMeasure&) = delete;
    void SetFont(HFONT font);
    int Width(char32_t character) override;
    int LineHeight() const { return lineHeight_; }

private:
    HDC dc_;
    HGDIOBJ oldFont_ = nullptr;
    int lineHeight_ = 16;
    std::vector<std::uint16_t> basic_;  // the Basic Multilingual Plane; 0xFFFF: not asked yet
    std::unordered_map<char32_t, int> others_;
};

class LogViewWindow : public LogViewPort {
public:
    static constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL;
    static constexpr int kTextMargin = 2;  // pixels left and right of the text, as an edit box keeps

    LogViewWindow() = default;
    ~LogViewWindow() override;
    LogViewWindow(const LogViewWindow&) = delete;
    LogViewWindow& operator=(const LogViewWindow&) = delete;

    // Creates the window as a child of `parent` with the given id.
    HWND Create(HWND parent, int id, DWORD exStyle = WS_EX_CLIENTEDGE);
    HWND Handle() const { return window_; }

    // LogViewPort
    std::size_t TextLength() const override { return text_.Length(); }
    bool EndsWithLineBreak() const override { return text_.EndsWithLineBreak(); }
    // Counts no further than 2: the append rules only ask whether the log
    // shows more than one line.
    int VisualLineCount() const override;
    void InsertAt(std::size_t position, const std::u16string& text) override;
    void Replace(std::size_t position, std::size_t length, const std::u16string& text) override;
    void SetText(const std::u16string& text) override;
    std::u16string Text() const override { return text_.Text(); }
    void Reserve(std::size_t length) override { text_.Reserve(length); }
    // The units of a row, without copying the log.
    std::u16string_view RowText(const LogLayout::Row& row) const
    {
        return std::u16string_view(text_.Text()).substr(row.start, row.end - row.start);
    }

    // Counts the changes of the text, so that a caller sees whether one came.
    std::uint64_t Edits() const { return edits_; }
    // The offset of the text under a point of the view's client area.
    std::size_t OffsetAt(POINT client) const { return OffsetAtPoint(client.x, client.y); }
    // For tests and the strip: where the view stands.
    std::size_t TopOffset() const { return top_; }
    bool FollowsEnd() const { return followEnd_; }
    LogSelection Selection() const { return selection_; }
    // The rows shown now, top to bottom.
    std::vector<LogLayout::Row> VisibleRows() const;
    HFONT Font() const { return font_; }
    int LineHeight() const { return measure_.LineHeight(); }
    // Called after every change of what the view shows (text, scroll, font,
    // size), so that another drawing of it (the subtitle strip) follows.
    void SetOnChanged(std::function<void()> onChanged) { onChanged_ = std::move(onChanged); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnPaint();
    void OnSize();
    void OnVScroll(int request);
    void OnMouseWheel(int delta);
    bool OnKeyDown(WPARAM key);
    void OnMouseDown(int x, int y, bool extend);
    void OnMouseMove(int x, int y);
    void CopySelection();

    int VisibleRowCount() const;
    int TextWidth() const;
    // Moves the top by `rows` (negative: up), not past the start nor the end.
    void ScrollRows(int rows);
    void ScrollToEnd();
    void ScrollToStart();
    // The top row that shows the last row at the bottom.
    std::size_t EndTop() const;
    bool AtEnd() const;
    void UpdateScrollBar();
    std::size_t OffsetAtPoint(int x, int y) const;
    void Changed();
    void SelectionAfterChange(std::size_t position, std::size_t removed, std::size_t inserted);

    HWND window_ = nullptr;
    LogText text_;
    mutable GdiCharacterMeasure measure_;
    mutable LogLayout layout_{text_, measure_};
    HFONT font_ = nullptr;
    std::size_t top_ = 0;      // the start of the top row
    bool followEnd_ = true;
    LogSelection selection_;
    bool selecting_ = false;
    int wheelRemainder_ = 0;
    std::function<void()> onChanged_;
    std::uint64_t edits_ = 0;
};

} // namespace kx::win32
