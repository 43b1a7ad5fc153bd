#include "capture/clipboard_watcher.h"

#include "common/app_error.h"

#include <exception>
#include <utility>

namespace kx {

ClipboardWatcher::ClipboardWatcher(ClipboardPort& clipboard, TextHandler onText)
    : clipboard_(clipboard), onText_(std::move(onText))
{
}

void ClipboardWatcher::Join()
{
    // What the clipboard held before the program started is not a capture;
    // the join's own notification finds nothing new.
    lastTaken_ = clipboard_.SequenceNumber();
    NextViewer = clipboard_.JoinViewerChain();
}

void ClipboardWatcher::Leave()
{
    clipboard_.LeaveViewerChain(NextViewer);
}

void ClipboardWatcher::OnDrawClipboard(ReadSwitches switches)
{
    // A failure must not cut the chain: every other viewer on the desktop
    // depends on this window passing the notification on.
    std::exception_ptr failure;
    try {
        if (!switches.monitoring) {
            lastTaken_ = clipboard_.SequenceNumber();
        } else {
            // The clipboard opened before anything else is asked: a hooker
            // writing line after line waits for this read, and no line is
            // overwritten while the reader is still on its way to it.
            std::optional<ClipboardText> text = clipboard_.ReadText(switches.unicode);
            if (!text)
                throw AppError("Cannot open clipboard");
            if (!AlreadyTaken(text->sequence)) {
                lastTaken_ = text->sequence;
                if (text->hasText && !text->ownCopy)
                    onText_(std::move(*text));
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    clipboard_.ForwardDrawClipboard(NextViewer);
    if (failure)
        std::rethrow_exception(failure);
}

void ClipboardWatcher::OnChangeCbChain(WindowId removed, WindowId following)
{
    if (removed == NextViewer)
        NextViewer = following;
    else
        clipboard_.ForwardChangeCbChain(NextViewer, removed, following);
}

} // namespace kx
