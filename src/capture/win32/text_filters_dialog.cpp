#include "capture/win32/text_filters_dialog.h"

#include "capture/win32/capture_resource_ids.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/win32_prompts.h"
#include "settings/value_encodings.h"
#include "platform/win32/ui/dialog_layout.h"

#include <commctrl.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>

namespace kx::win32 {
namespace {

// The glossary is shown and edited as pairs: term first, then its translation.
std::vector<Substitution> GlossaryPairs(const std::vector<GlossaryEntry>& glossary)
{
    std::vector<Substitution> pairs;
    for (const GlossaryEntry& entry : glossary)
        pairs.push_back({entry.term, entry.translation});
    return pairs;
}

std::vector<GlossaryEntry> GlossaryFromPairs(const std::vector<Substitution>& pairs)
{
    std::vector<GlossaryEntry> glossary;
    for (const Substitution& pair : pairs)
        glossary.push_back({pair.find, pair.replace});
    return glossary;
}

} // namespace

// --- the pair editor -------------------------------------------------------

SubstitutionDialog::SubstitutionDialog(HINSTANCE instance) : ModalDialog(instance, IDD_SUBSTITUTION) {}

std::optional<Substitution> SubstitutionDialog::Edit(const Substitution& current, const PairWording& wording)
{
    if (IsOpen())
        return std::nullopt;
    accepted_.reset();
    firstEmpty_ = wording.firstEmpty;
    ::SetWindowTextW(Handle(), wording.caption);
    ::SetDlgItemTextW(Handle(), IDC_SUBST_FINDLABEL, wording.first);
    ::SetDlgItemTextW(Handle(), IDC_SUBST_REPLACELABEL, wording.second);
    ::SetDlgItemTextW(Handle(), IDC_SUBST_FIND, Wide(current.find).c_str());
    ::SetDlgItemTextW(Handle(), IDC_SUBST_REPLACE, Wide(current.replace).c_str());
    if (ShowModal() != IDOK)
        return std::nullopt;
    return accepted_;
}

void SubstitutionDialog::OnInit()
{
    // No length limit: a pasted text is taken whole.
    for (int id : {IDC_SUBST_FIND, IDC_SUBST_REPLACE})
        ::SendDlgItemMessageW(Handle(), id, EM_SETLIMITTEXT, 0, 0);
}

void SubstitutionDialog::OnShow()
{
    CentreOverOwner(Handle());
    FocusControl(Handle(), IDC_SUBST_FIND);
}

bool SubstitutionDialog::OnCommand(int id, int notification)
{
    if (id == IDOK) {
        if (notification == BN_CLICKED)
            OkClick();
        return true;
    }
    return ModalDialog::OnCommand(id, notification);
}

void SubstitutionDialog::OkClick()
{
    const std::wstring find = ControlText(::GetDlgItem(Handle(), IDC_SUBST_FIND));
    if (find.empty()) {
        Win32Prompts(Handle()).ShowWarning(firstEmpty_);
        FocusControl(Handle(), IDC_SUBST_FIND);
        return;
    }
    accepted_ = Substitution{Utf16(find), Utf16(ControlText(::GetDlgItem(Handle(), IDC_SUBST_REPLACE)))};
    Close(IDOK);
}

// --- the text filters dialog -----------------------------------------------

TextFiltersDialog::TextFiltersDialog(HINSTANCE instance)
    : ModalDialog(instance, IDD_TEXTFILTERS),
      pairEditor_(instance),
      before_{IDC_FILTERS_BEFORELIST, IDC_FILTERS_BEFOREADD, IDC_FILTERS_BEFOREEDIT, IDC_FILTERS_BEFOREDELETE,
              &kSubstitutionWording, {}},
      after_{IDC_FILTERS_AFTERLIST, IDC_FILTERS_AFTERADD, IDC_FILTERS_AFTEREDIT, IDC_FILTERS_AFTERDELETE,
             &kSubstitutionWording, {}},
      glossary_{IDC_FILTERS_GLOSSARYLIST, IDC_FILTERS_GLOSSARYADD, IDC_FILTERS_GLOSSARYEDIT,
                IDC_FILTERS_GLOSSARYDELETE, &kGlossaryWording, {}}
{
}

std::optional<ScopedValues<TextFilterDialogValues>> TextFiltersDialog::Edit(
    const ScopedValues<TextFilterDialogValues>& current, const ProfileScope& scope)
{
    if (IsOpen())
        return std::nullopt;
    values_ = current;
    scope_ = scope;
    showingGame_ = scope.forGame && !scope.game.empty();
    if (ShowModal() != IDOK)
        return std::nullopt;
    ReadFields(Shown());
    return values_;
}

// Starts from the values given, so that a switch the boxes show unchanged
// keeps its stored value.
void TextFiltersDialog::ReadFields(TextFilterDialogValues& into)
{
    TextFilterSettings& edited = into.filters;
    edited.RepeatChars = SwitchFromBox(IsChecked(Control(IDC_FILTERS_REPEATCHARS)), edited.RepeatChars);
    edited.RepeatPhrase = SwitchFromBox(IsChecked(Control(IDC_FILTERS_REPEATPHRASE)), edited.RepeatPhrase);
    edited.SkipRepeat = SwitchFromBox(IsChecked(Control(IDC_FILTERS_SKIPREPEAT)), edited.SkipRepeat);
    edited.before = before_.pairs;
    edited.after = after_.pairs;
    into.glossary = GlossaryFromPairs(glossary_.pairs);
}

void TextFiltersDialog::WriteFields(const TextFilterDialogValues& from)
{
    const TextFilterSettings& filters = from.filters;
    SetChecked(Control(IDC_FILTERS_REPEATCHARS), filters.RepeatCharsOn());
    SetChecked(Control(IDC_FILTERS_REPEATPHRASE), filters.RepeatPhraseOn());
    SetChecked(Control(IDC_FILTERS_SKIPREPEAT), filters.SkipRepeatOn());
    before_.pairs = filters.before;
    after_.pairs = filters.after;
    glossary_.pairs = GlossaryPairs(from.glossary);
    for (const PairList* list : {&before_, &after_, &glossary_})
        WriteRows(*list, std::nullopt);
}

// What was edited in one set is kept while the other is shown.
void TextFiltersDialog::ScopeClick(bool forGame)
{
    if (forGame == showingGame_)
        return;
    ReadFields(Shown());
    showingGame_ = forGame;
    WriteFields(Shown());
}

void TextFiltersDialog::OnInit()
{
    for (const PairList* list : {&before_, &after_, &glossary_}) {
        HWND view = Control(list->listId);
        ::SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        // Both columns fit beside a vertical scroll bar.
        AddListColumn(view, 0, list->wording->first, 120);
        AddListColumn(view, 1, list->wording->second, 108);
    }
    pairEditor_.Create(Handle());
}

void TextFiltersDialog::OnShow()
{
    ShowProfileScope(Handle(), IDC_FILTERS_ALLGAMES, IDC_FILTERS_THISGAME, {scope_.game, showingGame_});
    WriteFields(Shown());
    CentreOverOwner(Handle());
    FocusControl(Handle(), IDC_FILTERS_REPEATCHARS);
}

bool TextFiltersDialog::OnCommand(int id, int notification)
{
    if (id == IDC_FILTERS_ALLGAMES || id == IDC_FILTERS_THISGAME) {
        if (notification == BN_CLICKED)
            ScopeClick(id == IDC_FILTERS_THISGAME);
        return true;
    }
    for (PairList* list : {&before_, &after_, &glossary_}) {
        if (id != list->addId && id != list->editId && id != list->deleteId)
            continue;
        if (notification != BN_CLICKED)
            return true;
        if (id == list->addId)
            AddClick(*list);
        else if (id == list->editId)
            EditClick(*list);
        else
            DeleteClick(*list);
        return true;
    }
    return ModalDialog::OnCommand(id, notification);
}

bool TextFiltersDialog::OnMessage(UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_NOTIFY)
        return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code != NM_DBLCLK)
        return false;
    for (PairList* list : {&before_, &after_, &glossary_}) {
        if (header->idFrom == static_cast<UINT_PTR>(list->listId)) {
            ListDblClick(*list, reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
            return true;
        }
    }
    return false;
}

void TextFiltersDialog::AddClick(PairList& list)
{
    if (std::optional<Substitution> added = pairEditor_.Edit({}, *list.wording)) {
        list.pairs.push_back(std::move(*added));
        WriteRows(list, static_cast<int>(list.pairs.size()) - 1);
    }
}

void TextFiltersDialog::EditClick(PairList& list)
{
    if (const std::optional<int> row = SelectedRow(list))
        EditRow(list, *row);
}

void TextFiltersDialog::DeleteClick(PairList& list)
{
    const std::optional<int> row = SelectedRow(list);
    if (!row)
        return;
    list.pairs.erase(list.pairs.begin() + *row);
    // The row that took its place stays selected, so that Delete can go on.
    const int count = static_cast<int>(list.pairs.size());
    WriteRows(list, count == 0 ? std::nullopt : std::optional<int>((std::min)(*row, count - 1)));
}

void TextFiltersDialog::ListDblClick(PairList& list, int row)
{
    // A double-click below the last row hits no item.
    if (row >= 0 && row < static_cast<int>(list.pairs.size()))
        EditRow(list, row);
}

void TextFiltersDialog::EditRow(PairList& list, int row)
{
    const std::optional<Substitution> edited = pairEditor_.Edit(list.pairs[static_cast<size_t>(row)], *list.wording);
    if (edited) {
        list.pairs[static_cast<size_t>(row)] = *edited;
        WriteRows(list, row);
    }
}

std::optional<int> TextFiltersDialog::SelectedRow(const PairList& list) const
{
    const LRESULT row =
        ::SendMessageW(Control(list.listId), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (row < 0 || row >= static_cast<LRESULT>(list.pairs.size()))
        return std::nullopt;
    return static_cast<int>(row);
}

void TextFiltersDialog::WriteRows(const PairList& list, std::optional<int> selected)
{
    HWND view = Control(list.listId);
    ClearList(view);
    for (size_t i = 0; i < list.pairs.size(); ++i) {
        std::wstring find = Wide(list.pairs[i].find);
        std::wstring replace = Wide(list.pairs[i].replace);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = find.data();
        ::SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = replace.data();
        ::SendMessageW(view, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
    }
    if (selected) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(view, LVM_SETITEMSTATE, static_cast<WPARAM>(*selected), reinterpret_cast<LPARAM>(&state));
        ::SendMessageW(view, LVM_ENSUREVISIBLE, static_cast<WPARAM>(*selected), FALSE);
    }
}

} // namespace kx::win32
