#pragma once
// The choice at the top of a dialog that edits either every game's values or
// those of the game profile in force: "All games" / "This game: <name>".
#include "common/windows_wide.h"
#include "platform/win32/ui/controls.h"

#include <windows.h>

#include <string>
#include <string_view>

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

// A name as a menu item's or button's caption: each "&" a letter, not an access key.
inline std::wstring CaptionOf(std::u16string_view name)
{
    std::wstring caption;
    for (wchar_t c : Wide(name))
        caption += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
    return caption;
}

// Captions and checks the two buttons for `scope`.
inline void ShowProfileScope(HWND dialog, int allGamesId, int thisGameId, const ProfileScope& scope)
{
    HWND thisGame = ::GetDlgItem(dialog, thisGameId);
    const std::wstring caption = scope.game.empty() ? L"This game" : L"This game: " + CaptionOf(scope.game);
    ::SetWindowTextW(thisGame, caption.c_str());
    ::EnableWindow(thisGame, !scope.game.empty());
    const bool forGame = scope.forGame && !scope.game.empty();
    SetChecked(::GetDlgItem(dialog, allGamesId), !forGame);
    SetChecked(thisGame, forGame);
}

} // namespace kx::win32
