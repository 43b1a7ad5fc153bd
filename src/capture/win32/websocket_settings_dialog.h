#pragma once
// The "WebSocket settings" dialog: the URLs of the WebSocket servers to read
// (hookers', OCR tools'), one a line, with "Test", which connects to each URL
// the box holds now and says whether it could. Created once at start-up,
// opened modally from the main window; the URLs are handed back only by "OK".
#include "platform/ui_thread_port.h"
#include "platform/win32/ui/dialog_test.h"
#include "platform/win32/ui/modal_dialog.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kx::win32 {

// Tries a URL elsewhere (a thread of its own) and calls `done`, from any
// thread, once: with nothing when it connected, else the reason.
using WebSocketTester = std::function<void(const std::string& url, std::function<void(std::string failure)> done)>;

class WebSocketSettingsDialog : public ModalDialog {
public:
    // A test's answer comes back through `ui`.
    WebSocketSettingsDialog(HINSTANCE instance, UiThreadPort& ui);
    void SetTester(WebSocketTester tester) { tester_ = std::move(tester); }
    // Opens modally over the owner given to Create with `urls` in the box; the
    // URLs when "OK" closed it, nullopt for "Cancel"/Esc/close box.
    std::optional<std::vector<std::string>> Edit(const std::vector<std::string>& urls);

protected:
    void OnInit() override;
    void OnShow() override;
    bool OnCommand(int id, int notification) override;

private:
    // The URLs in the box without blanks at their ends, empty lines left out;
    // a box when there is none or more than four, or one is no ws:// or
    // wss:// URL, or has a user name or password.
    std::optional<std::vector<std::string>> ReadUrls();
    void OkClick();
    void TestClick();

    WebSocketTester tester_;
    std::optional<std::vector<std::string>> accepted_;
    DialogTest test_;
};

} // namespace kx::win32
