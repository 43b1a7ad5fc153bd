// The main window's Text filters dialog: the filters, the substitutions and
// the translation server's glossary.
#include "app/win32/main_window.h"
#include "capture/win32/text_filters_dialog.h"

#include <optional>
#include <utility>

namespace kx::win32 {

void MainWindow::TextFilters1Click()
{
    std::optional<TextFilterDialogValues> edited =
        textFiltersDialog_->Edit({settings_.Filters, settings_.Server.glossary});
    if (!edited)
        return;
    settings_.Filters = std::move(edited->filters);
    model_.PublishFilters();
    // The engine takes the glossary from the next line it translates.
    settings_.Server.glossary = std::move(edited->glossary);
    capture_->ConfigureServer(settings_.Server);
}

} // namespace kx::win32
