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

// ChangeClipboardChain tells the chain's first window and waits for it
// without limit: a viewer there that has stopped answering would hold this
// thread, and the exit that waits for it, for ever. When this window is
// first, the system only takes the next one as first and sends nothing
// elsewhere; otherwise telling the first window is all that leaving takes.
// That goes with a time-out, and when the time is up the same news is
// posted, for the viewer to read once it answers again (a timed-out message
// is dropped under Wine); hearing it twice changes nothing in the chain.
void Win32Clipboard::LeaveViewerChain(WindowId nextViewer)
{
    HWND first = ::GetClipboardViewer();
    if (!first || first == viewer_) {
        ::ChangeClipboardChain(viewer_, AsWindow(nextViewer));
        return;
    }
    const auto removed = reinterpret_cast<WPARAM>(viewer_);
    const auto following = static_cast<LPARAM>(nextViewer);
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(first, WM_CHANGECBCHAIN, removed, following, SMTO_ABORTIFHUNG, kForwardTimeoutMs,
                               &result))
        ::PostMessageW(first, WM_CHANGECBCHAIN, removed, following);
}

bool Win32Clipboard::OwnedByThisProgram()
{
    HWND owner = ::GetClipboardOwner();
    if (!owner || owner == foreignOwner_)
        return false;
    DWORD process = 0;
    if (::GetWindowThreadProcessId(owner, &process) && process == ::GetCurrentProcessId())
        return true;
    foreignOwner_ = owner;
    return false;
}

std::uint32_t Win32Clipboard::SequenceNumber()
{
    return ::GetClipboardSequenceNumber();
}

std::optional<ClipboardText> Win32Clipboard::ReadText(bool unicode)
{
    // Whose copy it is, asked before the clipboard is opened: a writer's
    // next change waits only for what needs the clipboard open.
    const bool ownCopy = OwnedByThisProgram();
    OpenedClipboard clipboard(viewer_);
    if (!clipboard.IsOpen())
        return std::nullopt;
    // While the clipboard is open nobody can change it: this number belongs
    // to exactly the text read here.
    ClipboardText result;
    result.sequence = ::GetClipboardSequenceNumber();
    result.unicode = unicode;
    result.ownCopy = ownCopy;
    if (result.ownCopy)
        return result;
    HANDLE data = ::GetClipboardData(unicode ? CF_UNICODETEXT : CF_TEXT);
    result.hasText = data != nullptr;
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
    if (!nextViewer)
        return;  // the last viewer: a send to no window would only fail
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
