#pragma once
// The clipboard and the clipboard viewer chain, as seen from the main window.
#include <cstdint>
#include <optional>
#include <string>

namespace kx {

using WindowId = std::uintptr_t;  // a window handle; 0 = none

class ClipboardPort {
public:
    virtual ~ClipboardPort() = default;
    // Joins the viewer chain; returns the next viewer (0 when last).
    virtual WindowId JoinViewerChain() = 0;
    // Leaves the chain, naming the next viewer; the result is ignored.
    virtual void LeaveViewerChain(WindowId nextViewer) = 0;
    // True when the clipboard offers 8-bit text (CF_TEXT).
    virtual bool HasText() = 0;
    // The CF_TEXT bytes up to the first NUL; nullopt when the clipboard
    // cannot be opened. Opens and closes the clipboard.
    virtual std::optional<std::string> ReadText() = 0;
    // Passes a notification on with a 500 ms time-out, aborting if the
    // receiver is hung; failures (no next viewer) are ignored.
    virtual void ForwardDrawClipboard(WindowId nextViewer) = 0;
    virtual void ForwardChangeCbChain(WindowId nextViewer, WindowId removed, WindowId following) = 0;
};

} // namespace kx
