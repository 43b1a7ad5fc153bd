#pragma once
// The "Translation server" settings dialog: URL, model, system prompt, API
// key, time-out, context lines (with or without their translations),
// streaming and max tokens, with "Test", which translates «こんにちは» with what the
// dialog holds now. Created once at start-up, opened modally from the main
// window; it edits a copy, handed back only by "OK".
#include "settings/app_settings.h"
#include "translate/win32/keyed_settings_dialog.h"

#include <windows.h>

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

class ServerSettingsDialog : public KeyedSettingsDialog<ServerDialogValues> {
public:
    // A test's answer comes back through `ui`.
    ServerSettingsDialog(HINSTANCE instance, UiThreadPort& ui);

protected:
    void OnInit() override;
    std::optional<ServerDialogValues> ReadBoxes() override;
    void WriteBoxes(const ServerDialogValues& values) override;
};

} // namespace kx::win32
