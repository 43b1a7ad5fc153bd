#pragma once
// Keeps the main window in the clipboard viewer chain and hands every new
// clipboard text to the capture pipeline.
#include "platform/clipboard_port.h"

#include <functional>
#include <string>

namespace kx {

class ClipboardWatcher {
public:
    using TextHandler = std::function<void(ClipboardText text)>;

    // What a notification reads, asked anew for each one.
    struct ReadSwitches {
        bool monitoring = false;
        bool unicode = false;  // CF_UNICODETEXT instead of CF_TEXT
    };

    ClipboardWatcher(ClipboardPort& clipboard, TextHandler onText);

    void Join();
    void Leave();

    // WM_DRAWCLIPBOARD. With monitoring on, reads the clipboard at once and
    // hands on the text of a change not taken before (none for a change
    // without text or the program's own copy); always passes the
    // notification on, also when reading failed; such an error is raised
    // again afterwards. A change seen while monitoring is off is never read.
    void OnDrawClipboard(ReadSwitches switches);
    // WM_CHANGECBCHAIN.
    void OnChangeCbChain(WindowId removed, WindowId following);

    WindowId NextViewer = 0;

private:
    // Notifications can outnumber changes (every queued one sees the latest
    // text); each change is taken once.
    bool AlreadyTaken(std::uint32_t sequence) const { return sequence != 0 && sequence == lastTaken_; }

    std::uint32_t lastTaken_ = 0;
    ClipboardPort& clipboard_;
    TextHandler onText_;
};

} // namespace kx
