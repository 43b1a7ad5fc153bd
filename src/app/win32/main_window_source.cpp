// The main window's choice of text source: the clipboard, or a hooker's
// WebSocket server with its settings dialog.
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "capture/win32/websocket_settings_dialog.h"

#include <utility>

namespace kx::win32 {

void MainWindow::CreateWebSocketDialog()
{
    webSocketDialog_ = std::make_unique<WebSocketSettingsDialog>(instance_, capture_->UiThread());
    webSocketDialog_->Create(window_);
    webSocketDialog_->SetTester([this](const std::string& url, std::function<void(std::string)> done) {
        capture_->TestWebSocket(url, std::move(done));
    });
}

// At start-up, after the settings are read, and on every change of source or URL.
void MainWindow::StartTextSource()
{
    capture_->UseTextSource(model_.Source(), settings_.WebSocketUrl);
}

void MainWindow::OnTextSourceCommand(int id)
{
    if (id == ID_SOURCE_CLIPBOARD)
        SourceClipboard1Click();
    else if (id == ID_SOURCE_WEBSOCKET)
        SourceWebSocket1Click();
    else
        WebSocketSettings1Click();
}

// The source in force; ApplyInForce starts a changed one. Chosen again, the
// same source starts anew.
void MainWindow::ChooseTextSource(TextSource source, const std::string& url)
{
    const AppSettings before = settings_;
    model_.SetTextSource(source);
    settings_.WebSocketUrl = url;
    if (settings_.Source == before.Source && settings_.WebSocketUrl == before.WebSocketUrl)
        StartTextSource();
    TakeSettingsChanges(before);
}

void MainWindow::SourceClipboard1Click()
{
    ChooseTextSource(TextSource::Clipboard, settings_.WebSocketUrl);
}

void MainWindow::SourceWebSocket1Click()
{
    ChooseTextSource(TextSource::WebSocket, settings_.WebSocketUrl);
}

void MainWindow::WebSocketSettings1Click()
{
    if (std::optional<std::string> url = webSocketDialog_->Edit(settings_.WebSocketUrl))
        ChooseTextSource(model_.Source(), *url);
}

} // namespace kx::win32
