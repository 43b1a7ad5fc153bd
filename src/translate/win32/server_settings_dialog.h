#pragma once
// The "Translation server" settings dialog: URL, model, system prompt, API
// key, time-out, context lines (with or without their translations),
// streaming and max tokens, with "Test", which translates «こんにちは» with what the
// dialog holds now. Created once at start-up, opened modally from the main
// window; it edits a copy, handed back only by "OK".
#include "platform/ui_thread_port.h"
#include "platform/win32/ui/dialog_test.h"
#include "platform/win32/ui/modal_dialog.h"
#include "platform/win32/ui/profile_scope.h"
#include "settings/app_settings.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace kx::win32 {

// What the dialog edits: the stored settings and the API key in clear (the
// main window keeps it protected in the settings file).
struct ServerDialogValues {
    ServerSettings server;
    std::string apiKey;  // UTF-8; empty: no key

    bool operator==(const ServerDialogValues&) const = default;
};

// Runs a test translation elsewhere (the engine thread) and calls `done`
// with the text to show, from any thread, once.
using ServerTestRunner =
    std::function<void(const ServerDialogValues& values, std::function<void(std::u16string shown)> done)>;

class ServerSettingsDialog : public ModalDialog {
public:
    // A test's answer comes back through `ui`.
    ServerSettingsDialog(HINSTANCE instance, UiThreadPort& ui);
    void SetTestRunner(ServerTestRunner runner) { testRunner_ = std::move(runner); }
    // Opens modally over the owner given to Create on the values `scope`
    // chooses; "All games" and "This game" switch between the two sets (the
    // API key is every game's). Both sets as edited when "OK" closed it,
    // nullopt for "Cancel"/Esc/close box.
    std::optional<ScopedValues<ServerDialogValues>> Edit(const ScopedValues<ServerDialogValues>& current,
                                                         const ProfileScope& scope);

protected:
    void OnInit() override;
    void OnShow() override;
    bool OnCommand(int id, int notification) override;

private:
    // The boxes checked; a box for the first that is wrong.
    std::optional<ServerDialogValues> ReadBoxes();
    void WriteBoxes(const ServerDialogValues& values);
    ServerDialogValues& Shown() { return showingGame_ ? values_.thisGame : values_.allGames; }
    // The boxes into the set shown; false (a box said why) when one is wrong.
    bool KeepBoxes();
    void ScopeClick(bool forGame);
    void OkClick();
    void TestClick();

    ServerTestRunner testRunner_;
    ScopedValues<ServerDialogValues> values_;
    ProfileScope scope_;
    bool showingGame_ = false;
    bool accepted_ = false;
    DialogTest test_;
};

} // namespace kx::win32
