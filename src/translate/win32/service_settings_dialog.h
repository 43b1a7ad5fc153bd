#pragma once
// The "DeepL" and "Papago" settings dialogs: the URL, the key (and for Papago
// the client ID and the polite form), with "Test", which translates
// «こんにちは» with what the dialog holds now. One class for both: Papago's
// template has the two controls DeepL's lacks. Created once at start-up,
// opened modally from the main window; it edits a copy, handed back only by "OK".
#include "translate/win32/keyed_settings_dialog.h"

#include <windows.h>

#include <optional>
#include <string>

namespace kx::win32 {

// What the dialog edits; the key in clear (the main window keeps it
// protected in the settings file), every game's.
struct ServiceDialogValues {
    std::string url;
    std::string keyId;       // Papago's client ID
    bool honorific = false;  // Papago's polite form
    std::string apiKey;      // UTF-8; empty: no key

    bool operator==(const ServiceDialogValues&) const = default;
};

class ServiceSettingsDialog : public KeyedSettingsDialog<ServiceDialogValues> {
public:
    // `templateId`: IDD_DEEPLSETTINGS or IDD_PAPAGOSETTINGS. A test's answer comes back through `ui`.
    ServiceSettingsDialog(HINSTANCE instance, int templateId, UiThreadPort& ui);

protected:
    void OnInit() override;
    std::optional<ServiceDialogValues> ReadBoxes() override;
    void WriteBoxes(const ServiceDialogValues& values) override;
};

} // namespace kx::win32
