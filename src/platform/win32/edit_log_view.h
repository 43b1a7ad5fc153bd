#pragma once
// The log view port on a multi-line, read-only, word-wrapped EDIT control.
#include "platform/log_view_port.h"

#include <windows.h>

namespace kx::win32 {

class EditLogView : public LogViewPort {
public:
    // Window styles of the log view control.
    static constexpr DWORD kStyle =
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_NOHIDESEL;

    // Creates the control as a child of `parent` with the given id.
    static HWND Create(HWND parent, int id, DWORD extraExStyle = WS_EX_CLIENTEDGE);

    explicit EditLogView(HWND edit);

    std::size_t TextLength() const override;
    bool EndsWithLineBreak() const override;
    int VisualLineCount() const override;
    void InsertAt(std::size_t position, const std::u16string& text) override;
    void SetText(const std::u16string& text) override;
    std::u16string Text() const override;

    HWND Handle() const { return edit_; }

private:
    HWND edit_;
};

} // namespace kx::win32
