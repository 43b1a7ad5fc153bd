#pragma once
// Keeps the main window in the clipboard viewer chain and hands every new
// clipboard text to the capture pipeline.
#include "platform/clipboard_port.h"

#include <functional>
#include <string>

namespace kx {

class ClipboardWatcher {
public:
    using TextHandler = std::function<void(const std::string& bytes)>;

    ClipboardWatcher(ClipboardPort& clipboard, TextHandler onText);

    void Join();
    void Leave();

    // WM_DRAWCLIPBOARD. Reads the text when there is text and monitoring is
    // on, runs the pipeline, and always passes the notification on, also when
    // reading or decoding failed; such an error is raised again afterwards.
    void OnDrawClipboard(bool monitoring);
    // WM_CHANGECBCHAIN.
    void OnChangeCbChain(WindowId removed, WindowId following);

    WindowId NextViewer = 0;

private:
    ClipboardPort& clipboard_;
    TextHandler onText_;
};

} // namespace kx
