// The main window's choice of translation engine: ezTrans, or a translation
// server with its settings dialog.
#include "app/program_title.h"
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "common/text.h"
#include "common/utf.h"
#include "translate/win32/server_settings_dialog.h"

#include <utility>

namespace kx::win32 {
namespace {


std::u16string ServerLine(const ServerSettings& server)
{
    return ServerLogLine(server);
}

} // namespace

// Whether the chosen engine can translate: the Translation item as it allows.
void MainWindow::ShowTranslationPossible()
{
    model_.SetTranslationPossible(settings_.Engine == EngineKind::Server || capture_->EzTransReady());
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
}

// At start-up, after the settings are read: only the chosen engine starts. A
// server is asked nothing now; one that is down is no start-up failure.
void MainWindow::StartChosenEngine()
{
    // What cannot be used (a URL with user info, a key not readable here) is
    // set aside and told; the stored key stays in the file until a new one.
    for (const std::u16string& line : capture_->LoadServer(settings_.Server, settings_.ServerApiKey))
        capture_->Pipeline().AddProgramLine(line);
    capture_->ConfigureServer(settings_.Server);
    ShowTranslationPossible();
    if (settings_.Engine == EngineKind::Server) {
        capture_->Pipeline().AddProgramLine(ServerLine(settings_.Server));
        return;
    }
    if (capture_->StartEzTrans())
        capture_->Pipeline().AddProgramLine(Widen(kEngineSuccessLine));
    ShowTranslationPossible();
}

void MainWindow::OnEngineCommand(int id)
{
    if (id == ID_ENGINE_EZTRANS)
        EngineEzTrans1Click();
    else if (id == ID_ENGINE_SERVER)
        EngineServer1Click();
    else
        ServerSettings1Click();
}

// The engine in force; ApplyInForce starts it and says so.
void MainWindow::EngineEzTrans1Click()
{
    if (settings_.Engine == EngineKind::EzTrans)
        return;
    const AppSettings before = settings_;
    model_.SetEngine(EngineKind::EzTrans);
    TakeSettingsChanges(before);
}

void MainWindow::EngineServer1Click()
{
    if (settings_.Engine == EngineKind::Server)
        return;
    const AppSettings before = settings_;
    model_.SetEngine(EngineKind::Server);
    TakeSettingsChanges(before);
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
