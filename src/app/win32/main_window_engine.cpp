// The main window's choice of translation engine: ezTrans, or a translation
// server with its settings dialog.
#include "app/program_title.h"
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "app/win32/server_settings_dialog.h"
#include "capture/append_log.h"
#include "common/text.h"
#include "settings/settings_file.h"
#include "translate/server_key.h"

#include <utility>

namespace kx::win32 {
namespace {

constexpr char16_t kTestText[] = u"こんにちは";

std::u16string ServerLine(const ServerSettings& server)
{
    return ServerLogLine(server);
}

} // namespace

bool MainWindow::TranslationPossible() const
{
    if (settings_.Engine == EngineKind::Server)
        return server_ != nullptr;
    return engine_ && engine_->EngineReady;
}

// At start-up, after the settings are read: only the chosen engine starts. A
// server is asked nothing now; one that is down is no start-up failure.
void MainWindow::StartChosenEngine()
{
    LoadServerKey();
    server_->Configure(settings_.Server, serverApiKey_);
    ShowEngineChoice();
    if (settings_.Engine == EngineKind::Server) {
        AppendLineToView(*logView_, ServerLine(settings_.Server));
        return;
    }
    engine_->InitTransEngine();
    if (engine_->EngineReady)
        AppendLineToView(*logView_, Widen(kEngineSuccessLine));
    ShowEngineChoice();
}

void MainWindow::LoadServerKey()
{
    StoredServer stored = ReadStoredServer(secrets_, settings_.Server, settings_.ServerApiKey);
    serverApiKey_ = std::move(stored.apiKey);
    for (const std::u16string& line : stored.lines)
        AppendLineToView(*logView_, line);
}

// The radio mark and the Translation item as the chosen engine allows.
void MainWindow::ShowEngineChoice()
{
    const int chosen = settings_.Engine == EngineKind::Server ? ID_ENGINE_SERVER : ID_ENGINE_EZTRANS;
    ::CheckMenuRadioItem(mainMenu_.Get(), ID_ENGINE_EZTRANS, ID_ENGINE_SERVER, chosen, MF_BYCOMMAND);
    translation_.enabled = TranslationPossible();
    ::EnableMenuItem(mainMenu_.Get(), ID_OPTIONS_TRANSLATION,
                     MF_BYCOMMAND | (translation_.enabled ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::EngineEzTrans1Click()
{
    if (settings_.Engine == EngineKind::EzTrans)
        return;
    settings_.Engine = EngineKind::EzTrans;
    ShowEngineChoice();
    // No ezTrans text is on its way while the engine is not ready, so it can
    // start here on the UI thread, as at start-up.
    if (!engine_->EngineReady) {
        engine_->InitTransEngine();
        ShowEngineChoice();
    }
    if (engine_->EngineReady)
        AppendLineToView(*logView_, Widen(kEngineSuccessLine));
}

void MainWindow::EngineServer1Click()
{
    if (settings_.Engine == EngineKind::Server)
        return;
    settings_.Engine = EngineKind::Server;
    ShowEngineChoice();
    AppendLineToView(*logView_, ServerLine(settings_.Server));
}

void MainWindow::ServerSettings1Click()
{
    const std::optional<ServerDialogValues> edited = serverDialog_->Edit({settings_.Server, serverApiKey_});
    if (!edited)
        return;
    const bool urlChanged = edited->server.url != settings_.Server.url;
    settings_.Server = edited->server;
    if (edited->apiKey != serverApiKey_) {
        serverApiKey_ = edited->apiKey;
        NewApiKey stored = StoreNewApiKey(secrets_, serverApiKey_);
        settings_.ServerApiKey = std::move(stored.stored);
        if (stored.problem)
            prompts_.ShowAppError(*stored.problem);
    }
    server_->Configure(settings_.Server, serverApiKey_);
    if (urlChanged && settings_.Engine == EngineKind::Server)
        AppendLineToView(*logView_, ServerLine(settings_.Server));
}

// On the engine thread, in turn with the texts, with what the dialog holds.
void MainWindow::TestServer(const ServerDialogValues& values, std::function<void(std::u16string)> done)
{
    pipeline_->Worker().Post([http = &http_, values, done = std::move(done)] {
        const ServerOutcome outcome = AskServer(*http, values.server, values.apiKey, kTestText);
        done(outcome.translation ? std::u16string(kTestText) + u" \u2192 " + *outcome.translation
                                 : u"Failed: " + Utf16FromUtf8(outcome.failure));
    });
}

} // namespace kx::win32
