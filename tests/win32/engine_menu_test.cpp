// Options › Translation engine as it is made from the engine list.
#include "app/win32/engine_menu.h"
#include "app/win32/resource_ids.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kx;

namespace {

std::vector<std::wstring> Items(HMENU menu)
{
    std::vector<std::wstring> items;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        const bool checked = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED;
        items.push_back((checked ? L"* " : L"") + std::wstring(text));
    }
    return items;
}

} // namespace

TEST(EngineMenu, TheMainEngineCheckedAndEachRoleOffersNoneAndTheOtherEngines)
{
    AppSettings settings;
    settings.Engine = EngineKind::Server;
    settings.DraftEngine = EngineKind::EzTrans;
    settings.KeepDraft = 1;
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_STRING, ID_ENGINE_EZTRANS, L"&ezTrans");  // as the resource leaves it
    kx::win32::FillEngineMenuFrom(menu, settings);
    EXPECT_EQ(Items(menu), (std::vector<std::wstring>{L"&ezTrans", L"* Translation &server", L"Deep&L", L"&Papago", L"",
                                                      L"&Draft", L"&Fallback", L"* &Keep the draft line", L"",
                                                      L"Se&rver settings..", L"DeepL se&ttings..",
                                                      L"Papago sett&ings.."}));
    EXPECT_EQ(Items(::GetSubMenu(menu, 5)), (std::vector<std::wstring>{L"&None", L"* &ezTrans", L"Deep&L", L"&Papago"}));
    EXPECT_EQ(Items(::GetSubMenu(menu, 6)), (std::vector<std::wstring>{L"* &None", L"&ezTrans", L"Deep&L", L"&Papago"}));
    EXPECT_EQ(::GetMenuItemID(menu, 2), static_cast<UINT>(ID_ENGINE_DEEPL));
    EXPECT_EQ(::GetMenuItemID(::GetSubMenu(menu, 5), 2), static_cast<UINT>(ID_ENGINE_DRAFT_EZTRANS + 2));
    EXPECT_EQ(::GetMenuItemID(menu, 10), static_cast<UINT>(ID_ENGINE_DEEPLSETTINGS));
    ::DestroyMenu(menu);
}
