// The main window's choice of text sources: the clipboard, hookers' or OCR
// tools' WebSocket servers (up to four) with their settings dialog, or both.
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "capture/win32/websocket_settings_dialog.h"

#include <algorithm>
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
    capture_->UseTextSource(model_.Source(), settings_.WebSocketUrls());
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

// The sources in force; ApplyInForce starts what changed. Chosen again, the
// same sources start anew.
void MainWindow::ChooseTextSource(TextSource source, std::vector<std::string> urls)
{
    const AppSettings before = settings_;
    model_.SetTextSource(source);
    urls.resize(kMaxWebSocketSources);
    settings_.WebSocketUrl = urls[0];
    std::copy(urls.begin() + 1, urls.end(), settings_.MoreWebSocketUrls.begin());
    if (settings_.Source == before.Source && settings_.WebSocketUrls() == before.WebSocketUrls())
        StartTextSource();
    TakeSettingsChanges(before);
}

// Each check item turns its kind of source on or off; the other stays as it is.
void MainWindow::SourceClipboard1Click()
{
    const TextSource now = model_.Source();
    ChooseTextSource(SourceOf(!ReadsClipboard(now), ReadsWebSockets(now)), settings_.WebSocketUrls());
}

void MainWindow::SourceWebSocket1Click()
{
    const TextSource now = model_.Source();
    ChooseTextSource(SourceOf(ReadsClipboard(now), !ReadsWebSockets(now)), settings_.WebSocketUrls());
}

void MainWindow::WebSocketSettings1Click()
{
    if (std::optional<std::vector<std::string>> urls = webSocketDialog_->Edit(settings_.WebSocketUrls()))
        ChooseTextSource(model_.Source(), std::move(*urls));
}

} // namespace kx::win32
