// The program's dialog templates, created from the exe's own resources: each
// dialog's layout stands in its template alone, so every control must lie
// inside its dialog and apart from its neighbours there.
#include "agth/win32/agth_resource_ids.h"
#include "app/win32/resource_ids.h"
#include "capture/win32/capture_resource_ids.h"
#include "companion/win32/companion_resource_ids.h"
#include "settings/win32/settings_resource_ids.h"
#include "settings/win32/profile_resource_ids.h"
#include "translate/win32/translate_resource_ids.h"
#include "wine_paths.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace {

struct Placed {
    int id;
    RECT rect;   // in the dialog's client area
    bool shown;  // the AGTH helper's second tab starts hidden
    bool holdsOthers;
};

INT_PTR CALLBACK NoHandling(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The dialog's own controls (not the parts of a list view or combo box).
std::vector<Placed> Controls(HWND dialog)
{
    std::vector<Placed> placed;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        wchar_t name[32] = {};
        ::GetClassNameW(child, name, 32);
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        const bool groupBox = _wcsicmp(name, L"Button") == 0 && (style & BS_TYPEMASK) == BS_GROUPBOX;
        const bool tabs = _wcsicmp(name, WC_TABCONTROLW) == 0;
        placed.push_back({::GetDlgCtrlID(child), r, (style & WS_VISIBLE) != 0, groupBox || tabs});
    }
    return placed;
}

bool Overlap(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string Describe(const Placed& p)
{
    return "control " + std::to_string(p.id) + " at " + std::to_string(p.rect.left) + "," +
           std::to_string(p.rect.top) + " to " + std::to_string(p.rect.right) + "," + std::to_string(p.rect.bottom);
}

TEST(DialogTemplates, EveryControlLiesInsideItsDialogAndApartFromTheOthers)
{
    const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                           ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
    ASSERT_TRUE(::InitCommonControlsEx(&classes));
    const std::string exe = kx::testing::WindowsPathOf(KX_APP_EXE_PATH);
    HMODULE program = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);
    for (int dialogId : {IDD_ABOUT, IDD_SETTINGS, IDD_AGTHHELPER, IDD_TEXTFILTERS, IDD_SUBSTITUTION,
                         IDD_SERVERSETTINGS, IDD_WEBSOCKETSETTINGS, IDD_PROFILENAME, IDD_DEEPLSETTINGS, IDD_PAPAGOSETTINGS, IDD_CORRECTION,
                         IDD_COMPANION}) {
        SCOPED_TRACE("dialog " + std::to_string(dialogId));
        HWND dialog = ::CreateDialogParamW(program, MAKEINTRESOURCEW(dialogId), nullptr, &NoHandling, 0);
        ASSERT_NE(dialog, nullptr);
        RECT client;
        ::GetClientRect(dialog, &client);
        const std::vector<Placed> placed = Controls(dialog);
        EXPECT_GT(placed.size(), 3u);
        for (size_t i = 0; i < placed.size(); ++i) {
            const Placed& a = placed[i];
            EXPECT_TRUE(a.rect.left >= 0 && a.rect.top >= 0 && a.rect.right <= client.right &&
                        a.rect.bottom <= client.bottom)
                << Describe(a) << " outside the client area " << client.right << " x " << client.bottom;
            for (size_t j = i + 1; j < placed.size(); ++j) {
                const Placed& b = placed[j];
                // Group boxes and the tab control frame the controls inside them.
                if (a.shown == b.shown && !a.holdsOthers && !b.holdsOthers) {
                    EXPECT_FALSE(Overlap(a.rect, b.rect)) << Describe(a) << " overlaps " << Describe(b);
                }
            }
        }
        ::DestroyWindow(dialog);
    }
    ::FreeLibrary(program);
}

} // namespace
