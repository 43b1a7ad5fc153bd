#include "platform/win32/edit_log_view.h"

#include "common/windows_wide.h"

#include <string>

namespace kx::win32 {

HWND EditLogView::Create(HWND parent, int id, DWORD extraExStyle)
{
    HWND edit = ::CreateWindowExW(extraExStyle, L"EDIT", L"", kStyle, 0, 0, 100, 100, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (edit)
        ::SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);  // 0 lifts the small default limit
    return edit;
}

EditLogView::EditLogView(HWND edit) : edit_(edit) {}

std::size_t EditLogView::TextLength() const
{
    return static_cast<std::size_t>(::GetWindowTextLengthW(edit_));
}

bool EditLogView::EndsWithLineBreak() const
{
    // The control breaks lines only at "\r\n" and by wrapping, and a wrapped
    // line always holds at least one character: so the last line starts at
    // the very end exactly when the text ends with "\r\n".
    const LRESULT length = ::GetWindowTextLengthW(edit_);
    if (length < 2)
        return false;
    const LRESULT lines = ::SendMessageW(edit_, EM_GETLINECOUNT, 0, 0);
    return ::SendMessageW(edit_, EM_LINEINDEX, lines - 1, 0) == length;
}

int EditLogView::VisualLineCount() const
{
    if (::GetWindowTextLengthW(edit_) == 0)
        return 0;
    const int lines = static_cast<int>(::SendMessageW(edit_, EM_GETLINECOUNT, 0, 0));
    return EndsWithLineBreak() ? lines - 1 : lines;
}

void EditLogView::InsertAt(std::size_t position, const std::u16string& text)
{
    const std::wstring wide = Wide(text);
    // Placing the caret costs the control a walk over its lines; after an
    // earlier append it already stands where the next text goes.
    DWORD start = 0, end = 0;
    ::SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start != position || end != position)
        ::SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(position), static_cast<LPARAM>(position));
    // The replacement leaves the caret behind the new text.
    ::SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
    ::SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}

void EditLogView::SetText(const std::u16string& text)
{
    const std::wstring wide = Wide(text);
    ::SetWindowTextW(edit_, wide.c_str());
    ::SendMessageW(edit_, EM_SETSEL, 0, 0);
    ::SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}

std::u16string EditLogView::Text() const
{
    const int length = ::GetWindowTextLengthW(edit_);
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(edit_, buffer.data(), length + 1);
    return Utf16(std::wstring_view(buffer.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0));
}

} // namespace kx::win32
