#pragma once
// The "DeepL" and "Papago" settings dialogs: the URL, the key (and for Papago
// the client ID and the polite form), with "Test", which translates
// «こんにちは» with what the dialog holds now. One class for both: Papago's
// template has the two controls DeepL's lacks. Created once at start-up,
// opened modally from the main window; it edits a copy, handed back only by "OK".
#include "platform/ui_thread_port.h"
#include "platform/win32/ui/dialog_test.h"
#include "platform/win32/ui/modal_dialog.h"
#include "platform/win32/ui/profile_scope.h"

#include <windows.h>

#include <functional>
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

// Runs a test translation elsewhere (the engine's thread) and calls `done`
// with the text to show, from any thread, once.
using ServiceTestRunner =
    std::function<void(const ServiceDialogValues& values, std::function<void(std::u16string shown)> done)>;

class ServiceSettingsDialog : public ModalDialog {
public:
    // `templateId`: IDD_DEEPLSETTINGS or IDD_PAPAGOSETTINGS. A test's answer comes back through `ui`.
    ServiceSettingsDialog(HINSTANCE instance, int templateId, UiThreadPort& ui);
    void SetTestRunner(ServiceTestRunner runner) { testRunner_ = std::move(runner); }
    // As the server's dialog: both sets as edited when "OK" closed it,
    // nullopt for "Cancel"/Esc/close box.
    std::optional<ScopedValues<ServiceDialogValues>> Edit(const ScopedValues<ServiceDialogValues>& current,
                                                          const ProfileScope& scope);

protected:
    void OnInit() override;
    void OnShow() override;
    bool OnCommand(int id, int notification) override;

private:
    std::optional<ServiceDialogValues> ReadBoxes();
    void WriteBoxes(const ServiceDialogValues& values);
    ServiceDialogValues& Shown() { return showingGame_ ? values_.thisGame : values_.allGames; }
    bool KeepBoxes();
    void ScopeClick(bool forGame);
    void OkClick();
    void TestClick();

    ServiceTestRunner testRunner_;
    ScopedValues<ServiceDialogValues> values_;
    ProfileScope scope_;
    bool showingGame_ = false;
    bool accepted_ = false;
    DialogTest test_;
};

} // namespace kx::win32
