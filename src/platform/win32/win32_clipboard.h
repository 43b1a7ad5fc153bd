#pragma once
#include "platform/clipboard_port.h"

#include <windows.h>

namespace kx::win32 {

class Win32Clipboard : public ClipboardPort {
public:
    explicit Win32Clipboard(HWND viewer) : viewer_(viewer) {}

    WindowId JoinViewerChain() override;
    void LeaveViewerChain(WindowId nextViewer) override;
    std::uint32_t SequenceNumber() override;
    std::optional<ClipboardText> ReadText(bool unicode) override;
    void ForwardDrawClipboard(WindowId nextViewer) override;
    void ForwardChangeCbChain(WindowId nextViewer, WindowId removed, WindowId following) override;

private:
    // True when a window of this program owns the clipboard's content.
    bool OwnedByThisProgram();

    HWND viewer_;
    // The last owner found to be another program's window: a hooker owns
    // change after change with the same window, and asking whose it is costs
    // a round trip to the window server each time.
    HWND foreignOwner_ = nullptr;
};

} // namespace kx::win32
