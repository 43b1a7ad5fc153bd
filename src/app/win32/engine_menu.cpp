#include "app/win32/engine_menu.h"

#include "app/win32/resource_ids.h"
#include "common/windows_wide.h"
#include "translate/engine_list.h"

namespace kx::win32 {

// Options › Translation engine, made from the engine list each time it opens.
void FillEngineMenuFrom(HMENU menu, const AppSettings& settings)
{
    while (::GetMenuItemCount(menu) > 0)
        ::DeleteMenu(menu, 0, MF_BYPOSITION);  // a submenu goes with its item
    const auto& engines = EngineDescriptions();
    const UINT count = static_cast<UINT>(engines.size());
    for (UINT i = 0; i < count; ++i)
        ::AppendMenuW(menu, MF_STRING, ID_ENGINE_EZTRANS + i, Wide(engines[i].menuName).c_str());
    ::CheckMenuRadioItem(menu, 0, count - 1, static_cast<UINT>(IdOf(settings.Engine)), MF_BYPOSITION);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    // "None" and every engine but the main one.
    const auto roleMenu = [&](UINT noneId, std::optional<EngineKind> chosen) {
        HMENU role = ::CreatePopupMenu();
        ::AppendMenuW(role, MF_STRING, noneId, L"&None");
        for (UINT i = 0; i < count; ++i)
            if (engines[i].kind != settings.Engine)
                ::AppendMenuW(role, MF_STRING, noneId + 1 + i, Wide(engines[i].menuName).c_str());
        const UINT checked = chosen && *chosen != settings.Engine ? noneId + 1 + static_cast<UINT>(IdOf(*chosen)) : noneId;
        ::CheckMenuRadioItem(role, noneId, noneId + count, checked, MF_BYCOMMAND);
        return reinterpret_cast<UINT_PTR>(role);
    };
    ::AppendMenuW(menu, MF_POPUP, roleMenu(ID_ENGINE_DRAFT_NONE, settings.DraftEngine), L"&Draft");
    ::AppendMenuW(menu, MF_POPUP, roleMenu(ID_ENGINE_FALLBACK_NONE, settings.FallbackEngine), L"&Fallback");
    ::AppendMenuW(menu, MF_STRING | (settings.KeepDraftOn() ? MF_CHECKED : MF_UNCHECKED), ID_ENGINE_KEEPDRAFT,
                  L"&Keep the draft line");
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (UINT i = 0; i < count; ++i)
        if (engines[i].settingsItem)
            ::AppendMenuW(menu, MF_STRING, ID_ENGINE_SERVERSETTINGS - 1 + i, Wide(engines[i].settingsItem).c_str());
}

} // namespace kx::win32
