#pragma once
// "New game profile": asks for a profile's name and refuses, with the reason,
// one that cannot name a folder. Created once at start-up, opened modally.
#include "platform/win32/ui/modal_dialog.h"

#include <windows.h>

#include <optional>
#include <string>

namespace kx::win32 {

class ProfileNameDialog : public ModalDialog {
public:
    explicit ProfileNameDialog(HINSTANCE instance);
    // The name "OK" closed it with; nullopt for "Cancel"/Esc/close box.
    std::optional<std::u16string> Ask();

protected:
    void OnShow() override;
    bool OnCommand(int id, int notification) override;

private:
    std::optional<std::u16string> accepted_;
};

} // namespace kx::win32
