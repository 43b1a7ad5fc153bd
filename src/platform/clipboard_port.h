#pragma once
// The clipboard and the clipboard viewer chain, as seen from the main window.
#include <cstdint>
#include <optional>
#include <string>

namespace kx {

using WindowId = std::uintptr_t;  // a window handle; 0 = none

// The clipboard's text, 8-bit (CF_TEXT) or UTF-16 (CF_UNICODETEXT), and the
// number of the change that put it there.
struct ClipboardText {
    std::string bytes;     // the 8-bit text, when that was read
    std::u16string wide;   // the UTF-16 text, when that was read
    std::uint32_t sequence = 0;
    bool unicode = false;  // which of the two was read
    bool hasText = true;   // the clipboard offered that kind of text
    bool ownCopy = false;  // a window of this program put it there (a copy from the log): no capture, not read
};

class ClipboardPort {
public:
    virtual ~ClipboardPort() = default;
    // Joins the viewer chain; returns the next viewer (0 when last).
    virtual WindowId JoinViewerChain() = 0;
    // Leaves the chain, naming the next viewer; the result is ignored. Waits
    // for no other program longer than a forward does.
    virtual void LeaveViewerChain(WindowId nextViewer) = 0;
    // The number of the latest clipboard change (0 when the system does not
    // count them).
    virtual std::uint32_t SequenceNumber() = 0;
    // Opens the clipboard first (a writer's next change waits from then on),
    // then takes, while it is open, the change number, whose copy it is and
    // the CF_TEXT bytes (or with `unicode` the CF_UNICODETEXT units; either
    // is made from the other by the system) up to the first NUL; nullopt
    // when the clipboard cannot be opened. Closes it again.
    virtual std::optional<ClipboardText> ReadText(bool unicode) = 0;
    // Passes a notification on with a 500 ms time-out, aborting if the
    // receiver is hung; failures (no next viewer) are ignored.
    virtual void ForwardDrawClipboard(WindowId nextViewer) = 0;
    virtual void ForwardChangeCbChain(WindowId nextViewer, WindowId removed, WindowId following) = 0;
};

} // namespace kx
