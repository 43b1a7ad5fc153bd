#pragma once
// "Reading companion": whether lines are served to browser pages, on which
// port, and to this computer only or the whole network, with the page's
// address as a link and the addresses another device would use. "OK" tries
// the settings at once; a port in use is said here and the dialog stays.
#include "platform/win32/ui/modal_dialog.h"
#include "settings/app_settings.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace kx::win32 {

class CompanionDialog : public ModalDialog {
public:
    // Serves with the settings given, or stops; empty when done, else why not.
    using Apply = std::function<std::u16string(const CompanionSettings&)>;

    explicit CompanionDialog(HINSTANCE instance);
    // Opens modally with `now`; the settings "OK" applied, nullopt for "Cancel"/Esc/close box.
    std::optional<CompanionSettings> Edit(const CompanionSettings& now, Apply apply);

protected:
    void OnShow() override;
    bool OnCommand(int id, int notification) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::optional<CompanionSettings> Read() const;
    // The link, the addresses and the greyed controls, after each change.
    void ShowAddresses();
    void OkClick();
    void LinkClick();

    Apply apply_;
    std::optional<CompanionSettings> accepted_;
};

} // namespace kx::win32
