#pragma once
// The "WebSocket settings" dialog: the URL of the hooker's WebSocket server,
// with "Test", which connects to what the box holds now and says whether it
// could. Created once at start-up, opened modally from the main window; the
// URL is handed back only by "OK".
#include "platform/ui_thread_port.h"
#include "platform/win32/ui/dialog_test.h"
#include "platform/win32/ui/modal_dialog.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace kx::win32 {

// Tries a URL elsewhere (a thread of its own) and calls `done`, from any
// thread, once: with nothing when it connected, else the reason.
using WebSocketTester = std::function<void(const std::string& url, std::function<void(std::string failure)> done)>;

class WebSocketSettingsDialog : public ModalDialog {
public:
    // A test's answer comes back through `ui`.
    WebSocketSettingsDialog(HINSTANCE instance, UiThreadPort& ui);
    void SetTester(WebSocketTester tester) { tester_ = std::move(tester); }
    // Opens modally over the owner given to Create with `url` in the box; the
    // URL when "OK" closed it, nullopt for "Cancel"/Esc/close box.
    std::optional<std::string> Edit(const std::string& url);

protected:
    void OnInit() override;
    void OnShow() override;
    bool OnCommand(int id, int notification) override;

private:
    // The URL in the box without blanks at its ends; a box when it is no
    // ws:// or wss:// URL, or one with a user name or password.
    std::optional<std::string> ReadUrl();
    void OkClick();
    void TestClick();

    WebSocketTester tester_;
    std::optional<std::string> accepted_;
    DialogTest test_;
};

} // namespace kx::win32
