// The main window's Text filters dialog: the filters, the substitutions and
// the translation server's glossary.
#include "app/win32/main_window.h"
#include "capture/win32/text_filters_dialog.h"

#include <optional>
#include <utility>

namespace kx::win32 {

// Every game's filters, or the game profile's own.
void MainWindow::TextFilters1Click()
{
    const AppSettings& global = profiles_->Global();
    const AppSettings own = profiles_->Own();
    const ScopedValues<TextFilterDialogValues> given{{global.Filters, global.Server.glossary},
                                                     {own.Filters, own.Server.glossary}};
    const std::optional<ScopedValues<TextFilterDialogValues>> edited =
        textFiltersDialog_->Edit(given, {profiles_->Active(), profiles_->IsActive()});
    if (!edited)
        return;
    const auto write = [](const TextFilterDialogValues& values) {
        return [&values](AppSettings& into) {
            into.Filters = values.filters;
            into.Server.glossary = values.glossary;
        };
    };
    // The engine takes the glossary from the next line it translates.
    SaveScopedEdit(write(edited->allGames), !(edited->allGames == given.allGames), write(edited->thisGame),
                   !(edited->thisGame == given.thisGame));
}

} // namespace kx::win32
