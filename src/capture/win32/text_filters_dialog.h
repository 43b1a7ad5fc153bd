#pragma once
// The "Text filters" dialog: the three repeat filters and the two ordered
// lists of find-and-replace pairs (before and after translation), each pair
// edited in the "Substitution" dialog. Created once at start-up, opened
// modally from the main window; it edits a copy, handed back only by "OK".
#include "platform/win32/ui/modal_dialog.h"
#include "settings/app_settings.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace kx::win32 {

// The pair editor: "Find" (never empty) and "Replace".
class SubstitutionDialog : public ModalDialog {
public:
    explicit SubstitutionDialog(HINSTANCE instance);
    // Opens modally over the owner given to Create, filled from `current`;
    // the edited pair when "OK" closed it, nullopt otherwise.
    std::optional<Substitution> Edit(const Substitution& current);

protected:
    void OnInit() override;
    void OnShow() override;
    bool OnCommand(int id, int notification) override;

private:
    void OkClick();

    std::optional<Substitution> accepted_;
};

class TextFiltersDialog : public ModalDialog {
public:
    explicit TextFiltersDialog(HINSTANCE instance);
    // Opens modally over the owner given to Create, filled from `current`;
    // the edited settings when "OK" closed it, nullopt for "Cancel"/Esc/close box.
    std::optional<TextFilterSettings> Edit(const TextFilterSettings& current);

protected:
    void OnInit() override;
    void OnShow() override;
    bool OnCommand(int id, int notification) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // One of the two lists with its buttons and the pairs it shows, in the
    // order they are applied.
    struct PairList {
        int listId, addId, editId, deleteId;
        std::vector<Substitution> pairs;
    };

    void AddClick(PairList& list);
    void EditClick(PairList& list);
    void DeleteClick(PairList& list);
    void ListDblClick(PairList& list, int row);

    HWND Control(int id) const { return ::GetDlgItem(Handle(), id); }
    void EditRow(PairList& list, int row);
    std::optional<int> SelectedRow(const PairList& list) const;
    void WriteRows(const PairList& list, std::optional<int> selected);

    SubstitutionDialog pairEditor_;
    PairList before_;
    PairList after_;
    TextFilterSettings current_;
};

} // namespace kx::win32
