#pragma once
// "Correct translation": a captured line's source (read only) and its
// translation to edit; "OK" hands back the new translation, refusing an
// empty one with the reason. Created once at start-up, opened modally.
#include "platform/win32/ui/modal_dialog.h"

#include <windows.h>

#include <optional>
#include <string>

namespace kx::win32 {

inline constexpr const char16_t* kEmptyCorrectionMessage =
    u"The translation must not be empty. Cancel leaves the line as it is.";

class CorrectionDialog : public ModalDialog {
public:
    explicit CorrectionDialog(HINSTANCE instance);
    // The translation "OK" closed it with; nullopt for "Cancel"/Esc/close box.
    std::optional<std::u16string> Ask(const std::u16string& source, const std::u16string& translation);

protected:
    void OnInit() override;
    void OnShow() override;
    bool OnCommand(int id, int notification) override;

private:
    std::optional<std::u16string> accepted_;
};

} // namespace kx::win32
