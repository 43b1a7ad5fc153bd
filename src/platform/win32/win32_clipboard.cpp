#include "platform/win32/win32_clipboard.h"

#include <cstring>

namespace kx::win32 {
namespace {

constexpr UINT kForwardTimeoutMs = 500;

HWND AsWindow(WindowId id)
{
    return reinterpret_cast<HWND>(id);
}

// Closes the clipboard on every way out.
class OpenedClipboard {
public:
    explicit OpenedClipboard(HWND owner) : open_(::OpenClipboard(owner) != FALSE) {}
    ~OpenedClipboard()
    {
        if (open_)
            ::CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_;
};

} // namespace

WindowId Win32Clipboard::JoinViewerChain()
{
    return reinterpret_cast<WindowId>(::SetClipboardViewer(viewer_));
}

void Win32Clipboard::LeaveViewerChain(WindowId nextViewer)
{
    ::ChangeClipboardChain(viewer_, AsWindow(nextViewer));
}

bool Win32Clipboard::HasText()
{
    return ::IsClipboardFormatAvailable(CF_TEXT) != FALSE;
}

std::uint32_t Win32Clipboard::SequenceNumber()
{
    return ::GetClipboardSequenceNumber();
}

std::optional<ClipboardText> Win32Clipboard::ReadText()
{
    OpenedClipboard clipboard(viewer_);
    if (!clipboard.IsOpen())
        return std::nullopt;
    // While the clipboard is open nobody can change it: this number belongs
    // to exactly the text read here.
    ClipboardText result{{}, ::GetClipboardSequenceNumber()};
    HANDLE data = ::GetClipboardData(CF_TEXT);
    if (!data)
        return result;
    const auto* bytes = static_cast<const char*>(::GlobalLock(data));
    if (!bytes)
        return result;
    // Never read past the block, also when the text lacks its terminator.
    const SIZE_T size = ::GlobalSize(data);
    const void* nul = std::memchr(bytes, 0, size);
    result.bytes.assign(bytes, nul ? static_cast<const char*>(nul) - bytes : size);
    ::GlobalUnlock(data);
    return result;
}

void Win32Clipboard::ForwardDrawClipboard(WindowId nextViewer)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(AsWindow(nextViewer), WM_DRAWCLIPBOARD, 0, 0, SMTO_ABORTIFHUNG, kForwardTimeoutMs,
                          &result);
}

void Win32Clipboard::ForwardChangeCbChain(WindowId nextViewer, WindowId removed, WindowId following)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(AsWindow(nextViewer), WM_CHANGECBCHAIN, static_cast<WPARAM>(removed),
                          static_cast<LPARAM>(following), SMTO_ABORTIFHUNG, kForwardTimeoutMs, &result);
}

} // namespace kx::win32
