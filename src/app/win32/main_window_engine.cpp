// The main window's choice of translation engines: the main one, a draft and
// a fallback, from the engine list, and each engine's settings dialog.
#include "app/program_title.h"
#include "app/win32/engine_menu.h"
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "common/text.h"
#include "common/utf.h"
#include "common/windows_wide.h"
#include "common/http_url.h"
#include "translate/engine_list.h"
#include "translate/win32/translate_resource_ids.h"
#include "translate/win32/server_settings_dialog.h"

#include <utility>

namespace kx::win32 {
namespace {


// An engine's menu name as the log names it: without its access key.
std::u16string PlainName(const char16_t* menuName)
{
    std::u16string name(menuName);
    std::erase(name, u'&');
    return name;
}

} // namespace

// Whether the main engine can translate: the Translation item as it allows.
void MainWindow::ShowTranslationPossible()
{
    model_.SetTranslationPossible(settings_.Engine != EngineKind::EzTrans || capture_->EzTransReady());
}

void MainWindow::CreateServerDialog()
{
    capture_->SetOnEngineStopped([this](EngineKind) { ShowTranslationPossible(); });
    serverDialog_ = std::make_unique<ServerSettingsDialog>(instance_, capture_->UiThread());
    serverDialog_->Create(window_);
    serverDialog_->SetTestRunner(
        [this](const ServerDialogValues& values, std::function<void(std::u16string)> done) {
            capture_->TestServer(values, std::move(done));
        });
    const auto serviceDialog = [this](int templateId, EngineKind service) {
        auto dialog = std::make_unique<ServiceSettingsDialog>(instance_, templateId, capture_->UiThread());
        dialog->Create(window_);
        dialog->SetTestRunner([this, service](const ServiceDialogValues& values, std::function<void(std::u16string)> done) {
            capture_->TestService(service, values, settings_, std::move(done));
        });
        return dialog;
    };
    deepLDialog_ = serviceDialog(IDD_DEEPLSETTINGS, EngineKind::DeepL);
    papagoDialog_ = serviceDialog(IDD_PAPAGOSETTINGS, EngineKind::Papago);
}

// At start-up, after the settings are read: only the engines the roles use
// start. A server is asked nothing now; one that is down is no start-up failure.
void MainWindow::StartChosenEngine()
{
    // What cannot be used (a URL with user info, a key not readable here) is
    // set aside and told; the stored key stays in the file until a new one.
    for (const std::u16string& line : capture_->LoadServer(settings_.Server, settings_.ServerApiKey))
        capture_->Pipeline().AddProgramLine(line);
    for (const std::u16string& line : capture_->LoadServiceKeys(settings_))
        capture_->Pipeline().AddProgramLine(line);
    capture_->ConfigureServer(settings_.Server);
    capture_->ConfigureServices(settings_);
    ShowTranslationPossible();
    if (settings_.Engine != EngineKind::EzTrans)
        capture_->Pipeline().AddProgramLine(MainEngineLine());
    StartEzTransIfUsed();
}

// The log's line naming the main engine when it was chosen (ezTrans says so
// once it has started).
std::u16string MainWindow::MainEngineLine() const
{
    const std::u16string name = PlainName(EngineDescriptions()[IdOf(settings_.Engine)].menuName);
    switch (settings_.Engine) {
    case EngineKind::Server:
        return ServerLogLine(settings_.Server);
    case EngineKind::DeepL:
        return name + u": " + Utf16FromUtf8(UrlForLog(settings_.DeepL.url));
    case EngineKind::Papago:
        return name + u": " + Utf16FromUtf8(UrlForLog(settings_.Papago.url));
    case EngineKind::EzTrans:
        break;
    }
    return name;
}

void MainWindow::StartEzTransIfUsed()
{
    if (!UsesEngine(settings_, EngineKind::EzTrans) || capture_->EzTransReady())
        return;
    if (capture_->StartEzTrans())
        capture_->Pipeline().AddProgramLine(Widen(kEngineSuccessLine));
    ShowTranslationPossible();
}

bool MainWindow::IsEngineMenu(HMENU menu) const
{
    return ::GetMenuItemID(menu, 0) == ID_ENGINE_EZTRANS;
}

void MainWindow::FillEngineMenu(HMENU menu)
{
    FillEngineMenuFrom(menu, settings_);
}

void MainWindow::OnEngineCommand(int id)
{
    const int count = static_cast<int>(EngineDescriptions().size());
    const auto engineAt = [](int index) { return static_cast<EngineKind>(index); };
    if (id >= ID_ENGINE_EZTRANS && id < ID_ENGINE_EZTRANS + count)
        EngineMain1Click(engineAt(id - ID_ENGINE_EZTRANS));
    else if (id >= ID_ENGINE_DRAFT_NONE && id <= ID_ENGINE_DRAFT_NONE + count)
        EngineDraft1Click(id == ID_ENGINE_DRAFT_NONE ? std::nullopt
                                                     : std::optional(engineAt(id - ID_ENGINE_DRAFT_EZTRANS)));
    else if (id >= ID_ENGINE_FALLBACK_NONE && id <= ID_ENGINE_FALLBACK_NONE + count)
        EngineFallback1Click(id == ID_ENGINE_FALLBACK_NONE ? std::nullopt
                                                           : std::optional(engineAt(id - ID_ENGINE_FALLBACK_EZTRANS)));
    else if (id == ID_ENGINE_KEEPDRAFT)
        KeepDraft1Click();
    else if (id >= ID_ENGINE_SERVERSETTINGS - 1 && id < ID_ENGINE_SERVERSETTINGS - 1 + count)
        EngineSettings1Click(engineAt(id - (ID_ENGINE_SERVERSETTINGS - 1)));
}

// The engines in force; ApplyInForce starts what they need and says so.
void MainWindow::EngineMain1Click(EngineKind engine)
{
    if (settings_.Engine == engine)
        return;
    const AppSettings before = settings_;
    model_.SetEngine(engine);
    TakeSettingsChanges(before);
}

void MainWindow::EngineDraft1Click(std::optional<EngineKind> engine)
{
    const AppSettings before = settings_;
    if (model_.SetDraftEngine(engine))
        TakeSettingsChanges(before);
}

void MainWindow::EngineFallback1Click(std::optional<EngineKind> engine)
{
    const AppSettings before = settings_;
    if (model_.SetFallbackEngine(engine))
        TakeSettingsChanges(before);
}

void MainWindow::KeepDraft1Click()
{
    const AppSettings before = settings_;
    model_.SetKeepDraft(!settings_.KeepDraftOn());
    TakeSettingsChanges(before);
}

void MainWindow::EngineSettings1Click(EngineKind engine)
{
    if (engine == EngineKind::Server)
        ServerSettings1Click();
    else if (engine != EngineKind::EzTrans)
        ServiceSettings1Click(engine);
}

// Every game's URL (and Papago's client ID and polite form), or the game
// profile's own; the key is every game's.
void MainWindow::ServiceSettings1Click(EngineKind service)
{
    const bool papago = service == EngineKind::Papago;
    const std::string key = capture_->ServiceApiKey(service);
    const auto valuesOf = [&](const AppSettings& s) {
        return papago ? ServiceDialogValues{s.Papago.url, s.Papago.keyId, s.Papago.HonorificOn(), key}
                      : ServiceDialogValues{s.DeepL.url, {}, false, key};
    };
    const ScopedValues<ServiceDialogValues> given{valuesOf(profiles_->Global()), valuesOf(profiles_->Own())};
    ServiceSettingsDialog& dialog = papago ? *papagoDialog_ : *deepLDialog_;
    const std::optional<ScopedValues<ServiceDialogValues>> edited =
        dialog.Edit(given, {profiles_->Active(), profiles_->IsActive()});
    if (!edited)
        return;
    if (edited->allGames.apiKey != key) {
        NewApiKey stored = capture_->ChangeServiceApiKey(service, edited->allGames.apiKey);
        (papago ? settings_.PapagoApiKey : settings_.DeepLApiKey) = std::move(stored.stored);
        if (stored.problem)
            prompts_.ShowAppError(*stored.problem);
        capture_->ConfigureServices(settings_);  // the new key from the next text on
    }
    const auto write = [papago](const ServiceDialogValues& values) {
        return [&values, papago](AppSettings& into) {
            if (!papago) {
                into.DeepL.url = values.url;
                return;
            }
            into.Papago.url = values.url;
            into.Papago.keyId = values.keyId;
            into.Papago.honorific = values.honorific ? 1 : 0;
        };
    };
    const auto changed = [](ServiceDialogValues a, ServiceDialogValues b) {
        a.apiKey = b.apiKey = {};  // told apart above
        return !(a == b);
    };
    SaveScopedEdit(write(edited->allGames), changed(edited->allGames, given.allGames), write(edited->thisGame),
                   changed(edited->thisGame, given.thisGame));
}

// Every game's server settings, or the game profile's own; the key is every game's.
void MainWindow::ServerSettings1Click()
{
    const std::string key = capture_->ServerApiKey();
    const ScopedValues<ServerDialogValues> given{{profiles_->Global().Server, key}, {profiles_->Own().Server, key}};
    const std::optional<ScopedValues<ServerDialogValues>> edited =
        serverDialog_->Edit(given, {profiles_->Active(), profiles_->IsActive()});
    if (!edited)
        return;
    if (edited->allGames.apiKey != key) {
        NewApiKey stored = capture_->ChangeServerApiKey(edited->allGames.apiKey);
        settings_.ServerApiKey = std::move(stored.stored);
        if (stored.problem)
            prompts_.ShowAppError(*stored.problem);
    }
    const auto write = [](const ServerSettings& server) {
        return [&server](AppSettings& into) {
            // The glossary is the Text filters dialog's.
            std::vector<GlossaryEntry> glossary = std::move(into.Server.glossary);
            into.Server = server;
            into.Server.glossary = std::move(glossary);
        };
    };
    SaveScopedEdit(write(edited->allGames.server), !(edited->allGames.server == given.allGames.server),
                   write(edited->thisGame.server), !(edited->thisGame.server == given.thisGame.server));
}

} // namespace kx::win32
