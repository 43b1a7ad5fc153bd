#pragma once
// The About box: created once at start-up, opened modally from the main window.
#include "platform/win32/ui/modal_dialog.h"

#include <string>

namespace kx::win32 {

class AboutForm : public ModalDialog {
public:
    explicit AboutForm(HINSTANCE instance);
    void SetTitle(const std::string& programTitle);

protected:
    void OnInit() override;
};

} // namespace kx::win32
