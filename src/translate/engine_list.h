#pragma once
// The translation engines the program has, each with what the menu and the
// settings file call it, and the roles the settings give them: the one that
// translates, one whose answer is shown at once until the main one's comes,
// and one that answers when the main one fails. Engines are known by their
// place in a list (EngineId); the program's list is in EngineKind order.
#include "settings/app_settings.h"

#include <array>
#include <cstddef>
#include <optional>

namespace kx {

using EngineId = std::size_t;

struct EngineDescription {
    EngineKind kind;
    const char16_t* menuName;      // with its access key
    const char16_t* settingsItem;  // the menu item of its settings dialog
    const char* section;           // where its settings stand in KestruneEX.ini
};

// In EngineKind order.
const std::array<EngineDescription, kEngineKindCount>& EngineDescriptions();

inline EngineId IdOf(EngineKind kind)
{
    return static_cast<EngineId>(kind);
}

struct EngineRoles {
    EngineId main = 0;
    std::optional<EngineId> draft;     // never the main one
    std::optional<EngineId> fallback;  // never the main one
    bool keepDraft = false;            // the draft's line stays, the main answer below it

    bool operator==(const EngineRoles&) const = default;
};

// The roles as the settings give them; a draft or a fallback that is the
// main engine itself is none (it would only ask the same engine twice).
EngineRoles RolesOf(EngineKind main, std::optional<EngineKind> draft, std::optional<EngineKind> fallback,
                    bool keepDraft);
inline EngineRoles RolesOf(const AppSettings& settings)
{
    return RolesOf(settings.Engine, settings.DraftEngine, settings.FallbackEngine, settings.KeepDraftOn());
}

// The cloud services' settings in force: their time-out (and DeepL's
// context lines) are the translation server's.
DeepLSettings DeepLInForce(const AppSettings& settings);
PapagoSettings PapagoInForce(const AppSettings& settings);

// True when the settings give `engine` a role (main, draft or fallback).
bool UsesEngine(const AppSettings& settings, EngineKind engine);

} // namespace kx
