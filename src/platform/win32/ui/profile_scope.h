#pragma once
// The choice at the top of a dialog that edits either every game's values or
// those of the game profile in force: "All games" / "This game: <name>".
#include "common/windows_wide.h"
#include "platform/win32/ui/controls.h"

#include <windows.h>

#include <string>

namespace kx::win32 {

struct ProfileScope {
    std::u16string game;   // the profile in force; empty: none ("This game" greyed)
    bool forGame = false;  // the dialog opens on the game's values
};

// Both sets of values a dialog edits, handed back whole by "OK".
template <class Values>
struct ScopedValues {
    Values allGames;
    Values thisGame;  // without a profile: a copy of allGames, never shown
};

// Captions and checks the two buttons for `scope`.
inline void ShowProfileScope(HWND dialog, int allGamesId, int thisGameId, const ProfileScope& scope)
{
    HWND thisGame = ::GetDlgItem(dialog, thisGameId);
    std::wstring caption = L"This game";
    if (!scope.game.empty())
        caption += L": ";
    for (wchar_t c : Wide(scope.game))
        caption += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);  // a letter, not an access key
    ::SetWindowTextW(thisGame, caption.c_str());
    ::EnableWindow(thisGame, !scope.game.empty());
    const bool forGame = scope.forGame && !scope.game.empty();
    SetChecked(::GetDlgItem(dialog, allGamesId), !forGame);
    SetChecked(thisGame, forGame);
}

} // namespace kx::win32
