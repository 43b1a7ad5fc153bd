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
        const std::uint32_t sequence = clipboard_.SequenceNumber();
        if (!switches.monitoring) {
            lastTaken_ = sequence;
        } else if (!AlreadyTaken(sequence)) {
            // Then straight to the open clipboard: every further look before
            // it gives a writer in a hurry the time to replace the text
            // unread. A notification queued behind the one that read its
            // change leaves the clipboard closed, so that a burst's backlog
            // does not keep the writer out.
            std::optional<ClipboardText> text = clipboard_.ReadText(switches.unicode, lastTaken_);
            if (!text)
                throw AppError("Cannot open clipboard");
            if (!AlreadyTaken(text->sequence)) {
                lastTaken_ = text->sequence;
                if (text->read)
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
