#pragma once
// The "Text filters" dialog: the three repeat filters, the two ordered lists
// of find-and-replace pairs (before and after translation) and the
// translation server's glossary, each pair edited in the "Substitution" dialog. Created once at start-up, opened
// modally from the main window; it edits a copy, handed back only by "OK".
#include "platform/win32/ui/modal_dialog.h"
#include "platform/win32/ui/profile_scope.h"
#include "settings/app_settings.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace kx::win32 {

// What the pair editor calls itself and its two boxes, and what it says when
// the first is empty.
struct PairWording {
    const wchar_t* caption;
    const wchar_t* first;
    const wchar_t* second;
    const char16_t* firstEmpty;
};

inline constexpr PairWording kSubstitutionWording{L"Substitution", L"Find", L"Replace",
                                                  u"The text to find cannot be empty."};
inline constexpr PairWording kGlossaryWording{L"Glossary entry", L"Term", L"Translation",
                                              u"The term cannot be empty."};

// The pair editor: the first text (never empty) and the second.
class SubstitutionDialog : public ModalDialog {
public:
    explicit SubstitutionDialog(HINSTANCE instance);
    // Opens modally over the owner given to Create, filled from `current`;
    // the edited pair when "OK" closed it, nullopt otherwise.
    std::optional<Substitution> Edit(const Substitution& current,
                                     const PairWording& wording = kSubstitutionWording);

protected:
    void OnInit() override;
    void OnShow() override;
    bool OnCommand(int id, int notification) override;

private:
    void OkClick();

    std::optional<Substitution> accepted_;
    const char16_t* firstEmpty_ = kSubstitutionWording.firstEmpty;
};

// What the dialog edits: the filters and the translation server's glossary.
struct TextFilterDialogValues {
    TextFilterSettings filters;
    std::vector<GlossaryEntry> glossary;

    bool operator==(const TextFilterDialogValues&) const = default;
};

class TextFiltersDialog : public ModalDialog {
public:
    explicit TextFiltersDialog(HINSTANCE instance);
    // Opens modally over the owner given to Create on the values `scope`
    // chooses; "All games" and "This game" switch between the two sets. Both
    // sets as edited when "OK" closed it, nullopt for "Cancel"/Esc/close box.
    std::optional<ScopedValues<TextFilterDialogValues>> Edit(const ScopedValues<TextFilterDialogValues>& current,
                                                             const ProfileScope& scope);

protected:
    void OnInit() override;
    void OnShow() override;
    bool OnCommand(int id, int notification) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // One of the three lists with its buttons and the pairs it shows, in the
    // order they are applied.
    struct PairList {
        int listId, addId, editId, deleteId;
        const PairWording* wording;
        std::vector<Substitution> pairs;
    };

    TextFilterDialogValues& Shown() { return showingGame_ ? values_.thisGame : values_.allGames; }
    void ReadFields(TextFilterDialogValues& into);
    void WriteFields(const TextFilterDialogValues& from);
    void ScopeClick(bool forGame);
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
    PairList glossary_;
    ScopedValues<TextFilterDialogValues> values_;
    ProfileScope scope_;
    bool showingGame_ = false;
};

} // namespace kx::win32
