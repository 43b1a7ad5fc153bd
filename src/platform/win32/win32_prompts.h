#pragma once
#include "platform/prompts_port.h"

#include <windows.h>

namespace kx::win32 {

// Message boxes owned by a window (null: no owner).
class Win32Prompts : public PromptsPort {
public:
    explicit Win32Prompts(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    void ShowError(const std::u16string& text) override;
    void ShowAppError(const std::u16string& text) override;
    void ShowWarning(const std::u16string& text) override;
    bool Confirm(const std::u16string& question) override;

private:
    HWND owner_;
};

// Shows the application error box for an error caught at a window procedure.
void ShowApplicationError(HWND owner, const std::string& ansiMessage);

} // namespace kx::win32
