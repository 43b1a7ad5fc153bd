#include "translate/engine_list.h"

namespace kx {

const std::array<EngineDescription, kEngineKindCount>& EngineDescriptions()
{
    static const std::array<EngineDescription, kEngineKindCount> engines = {{
        {EngineKind::EzTrans, u"&ezTrans", nullptr, "Engine"},
        {EngineKind::Server, u"Translation &server", u"Se&rver settings..", "Engine"},
        {EngineKind::DeepL, u"Deep&L", u"DeepL se&ttings..", "DeepL"},
        {EngineKind::Papago, u"&Papago", u"Papago sett&ings..", "Papago"},
    }};
    return engines;
}

EngineRoles RolesOf(EngineKind main, std::optional<EngineKind> draft, std::optional<EngineKind> fallback,
                    bool keepDraft)
{
    EngineRoles roles;
    roles.main = IdOf(main);
    if (draft && *draft != main)
        roles.draft = IdOf(*draft);
    if (fallback && *fallback != main)
        roles.fallback = IdOf(*fallback);
    roles.keepDraft = keepDraft && roles.draft.has_value();
    return roles;
}

DeepLSettings DeepLInForce(const AppSettings& settings)
{
    DeepLSettings deepL = settings.DeepL;
    deepL.timeoutSeconds = settings.Server.timeoutSeconds;
    deepL.contextLines = settings.Server.contextLines;
    return deepL;
}

PapagoSettings PapagoInForce(const AppSettings& settings)
{
    PapagoSettings papago = settings.Papago;
    papago.timeoutSeconds = settings.Server.timeoutSeconds;
    return papago;
}

bool UsesEngine(const AppSettings& settings, EngineKind engine)
{
    const EngineRoles roles = RolesOf(settings);
    const EngineId id = IdOf(engine);
    return roles.main == id || roles.draft == id || roles.fallback == id;
}

} // namespace kx
