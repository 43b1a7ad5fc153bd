// The main window's Text filters dialog: the filters, the substitutions and
// the translation server's glossary.
#include "app/win32/main_window.h"
#include "capture/win32/text_filters_dialog.h"

#include <optional>
#include <utility>

namespace kx::win32 {

// The lists shown and edited are the global ones; the switches those in force.
void MainWindow::TextFilters1Click()
{
    const AppSettings& global = profiles_->Global();
    TextFilterSettings shown = settings_.Filters;
    shown.before = global.Filters.before;
    shown.after = global.Filters.after;
    std::optional<TextFilterDialogValues> edited = textFiltersDialog_->Edit({shown, global.Server.glossary});
    if (!edited)
        return;
    AppSettings lists = global;
    lists.Filters.before = std::move(edited->filters.before);
    lists.Filters.after = std::move(edited->filters.after);
    lists.Server.glossary = std::move(edited->glossary);
    profiles_->SetGlobal(lists);
    const AppSettings before = settings_;
    settings_.Filters.RepeatChars = edited->filters.RepeatChars;
    settings_.Filters.RepeatPhrase = edited->filters.RepeatPhrase;
    settings_.Filters.SkipRepeat = edited->filters.SkipRepeat;
    // The engine takes the glossary from the next line it translates.
    TakeSettingsChanges(before);
}

} // namespace kx::win32
