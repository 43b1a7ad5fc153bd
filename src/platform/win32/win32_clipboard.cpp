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

bool Win32Clipboard::HasText(bool unicode)
{
    return ::IsClipboardFormatAvailable(unicode ? CF_UNICODETEXT : CF_TEXT) != FALSE;
}

bool Win32Clipboard::OwnedByThisProgram()
{
    HWND owner = ::GetClipboardOwner();
    DWORD process = 0;
    return owner && ::GetWindowThreadProcessId(owner, &process) && process == ::GetCurrentProcessId();
}

std::uint32_t Win32Clipboard::SequenceNumber()
{
    return ::GetClipboardSequenceNumber();
}

std::optional<ClipboardText> Win32Clipboard::ReadText(bool unicode)
{
    OpenedClipboard clipboard(viewer_);
    if (!clipboard.IsOpen())
        return std::nullopt;
    // While the clipboard is open nobody can change it: this number belongs
    // to exactly the text read here.
    ClipboardText result;
    result.sequence = ::GetClipboardSequenceNumber();
    result.unicode = unicode;
    HANDLE data = ::GetClipboardData(unicode ? CF_UNICODETEXT : CF_TEXT);
    if (!data)
        return result;
    const void* block = ::GlobalLock(data);
    if (!block)
        return result;
    // Never read past the block, also when the text lacks its terminator.
    const SIZE_T size = ::GlobalSize(data);
    if (unicode) {
        const auto* units = static_cast<const char16_t*>(block);
        const std::size_t count = size / sizeof(char16_t);
        std::size_t length = 0;
        while (length < count && units[length] != u'\0')
            ++length;
        result.wide.assign(units, length);
    } else {
        const auto* bytes = static_cast<const char*>(block);
        const void* nul = std::memchr(bytes, 0, size);
        result.bytes.assign(bytes, nul ? static_cast<const char*>(nul) - bytes : size);
    }
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
