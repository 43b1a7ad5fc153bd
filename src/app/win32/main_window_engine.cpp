// The main window's choice of translation engine: ezTrans, or a translation
// server with its settings dialog.
#include "app/program_title.h"
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "app/win32/server_settings_dialog.h"
#include "capture/append_log.h"
#include "common/text.h"
#include "common/utf.h"
#include "translate/server_key.h"

#include <utility>

namespace kx::win32 {
namespace {

constexpr char16_t kTestText[] = u"こんにちは";
constexpr char16_t kUnreadableKeyLine[] =
    u"Translation server: the stored API key cannot be read here; enter it again in Server settings";
constexpr char16_t kUnprotectableKeyMessage[] =
    u"The API key cannot be stored protected. It is used until the program closes, but not saved.";

std::u16string ServerLine(const ServerSettings& server)
{
    return kServerNoticePrefix + Utf16FromUtf8(server.url);
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
    const std::optional<std::string> key = ApiKeyFromStored(secrets_, settings_.ServerApiKey);
    serverApiKey_ = key.value_or(std::string());
    // The stored value stays in the file until the user enters a new key.
    if (!key)
        AppendLineToView(*logView_, kUnreadableKeyLine);
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
        if (const std::optional<std::string> stored = StoredApiKey(secrets_, serverApiKey_))
            settings_.ServerApiKey = *stored;
        else
            prompts_.ShowAppError(kUnprotectableKeyMessage);
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
