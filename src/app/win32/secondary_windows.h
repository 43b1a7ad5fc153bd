#pragma once
// The About box and the AGTH helper window: created once at start-up, opened
// modally from the main window.
#include "app/win32/modal_dialog.h"
#include "settings/app_settings.h"

#include <string>

namespace kx::win32 {

class AboutForm : public ModalDialog {
public:
    explicit AboutForm(HINSTANCE instance);
    void SetTitle(const std::string& programTitle);

protected:
    void OnInit() override;
};

class AgthHelpForm : public ModalDialog {
public:
    AgthHelpForm(HINSTANCE instance, AppSettings& settings);

private:
    AppSettings& settings_;
};

} // namespace kx::win32
