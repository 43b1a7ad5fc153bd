#include "app/win32/main_window.h"

#include "app/win32/resource_ids.h"

namespace kx::win32 {

void MainWindow::LoadSettingsIntoWindow()
{
    translation_.checked = true;
    SetMenuCheck(ID_OPTIONS_TRANSLATION, translation_.checked);
}

void MainWindow::SaveSettingsFromWindow() {}

} // namespace kx::win32
