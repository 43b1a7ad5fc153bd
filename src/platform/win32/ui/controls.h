#pragma once
// Small helpers over the standard controls and common dialogs that every
// window of the program uses.
#include <windows.h>

#include <optional>
#include <string>

namespace kx::win32 {

bool IsChecked(HWND box);
void SetChecked(HWND box, bool checked);
// Moves the keyboard focus the way the dialog manager does (default button kept right).
void FocusControl(HWND dialog, int id);
// Centred over its owner, and kept inside the work area of the owner's
// monitor (the owner may be a subtitle strip at the screen's edge).
void CentreOverOwner(HWND dialog);
// A menu item's check mark, by its command id.
void CheckMenuCommand(HMENU menu, int id, bool checked);
// Empties a report-view list before it is filled again.
void ClearList(HWND list);

// The Open and Save As boxes: the chosen path, or nothing on Cancel.
// `filter` is in the common dialogs' form ("Name\0*.ext\0").
struct FileChoice {
    const wchar_t* filter = nullptr;
    const wchar_t* title = nullptr;  // null: the system's
    const wchar_t* defaultExtension = nullptr;
};
std::optional<std::wstring> ChooseFileToOpen(HWND owner, const FileChoice& choice);
std::optional<std::wstring> ChooseFileToSave(HWND owner, const FileChoice& choice);

} // namespace kx::win32
