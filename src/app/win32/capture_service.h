#pragma once
// Everything behind the log view that reads and translates: the clipboard
// reader thread, the WebSocket text source, the capture pipeline, the ezTrans engine and the
// translation server with their HTTP and protected-secret adapters. Started
// by the main window after it is created and stopped in the program's order
// once the settings are saved: leave the clipboard chain, then the engines.
#include "app/main_window_model.h"
#include "capture/capture_pipeline.h"
#include "capture/websocket_source.h"
#include "capture/win32/clipboard_reader_thread.h"
#include "common/call_gate.h"
#include "companion/win32/companion_server.h"
#include "platform/log_view_port.h"
#include "platform/prompts_port.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_code_pages.h"
#include "platform/win32/win32_http.h"
#include "platform/win32/win32_secrets.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_ui_thread.h"
#include "platform/win32/win32_websocket.h"
#include "translate/server_key.h"
#include "translate/deepl_translator.h"
#include "translate/papago_translator.h"
#include "translate/server_translator.h"
#include "translate/translation_engine.h"
#include "translate/win32/engine_fault_guard.h"
#include "translate/win32/server_settings_dialog.h"
#include "translate/win32/service_settings_dialog.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kx::win32 {

class CaptureService {
public:
    // `uiMessage` posted to `window` runs the UI thread's queue (RunPosted).
    CaptureService(HWND window, UINT uiMessage, LogViewPort& log, PromptsPort& prompts);
    ~CaptureService();
    CaptureService(const CaptureService&) = delete;
    CaptureService& operator=(const CaptureService&) = delete;

    // Joins the clipboard chain; texts read from now on go with the switches
    // last published.
    void Start();
    // The UI thread: where texts come from. Each WebSocket source connects to
    // its URL on a thread of its own, and again after every failure; a URL no
    // longer used has its connection closed, the others go on.
    void UseTextSource(TextSource source, const std::vector<std::string>& urls);
    // Connects to `url` and closes again at once, on a thread of its own;
    // `done` gets, from there, nothing when it connected, else the reason.
    void TestWebSocket(const std::string& url, std::function<void(std::string failure)> done);
    // The UI thread: the switches for texts read from now on.
    void Publish(const CaptureSwitches& switches);
    UiThreadPort& UiThread() { return uiThread_; }
    // The UI thread, on `uiMessage`.
    void RunPosted() { uiThread_.RunPosted(); }
    CapturePipeline& Pipeline() { return *pipeline_; }
    CompanionServer& Companion() { return *companion_; }

    // Starts ezTrans on the UI thread (start-up, or chosen later while it is
    // not ready); true when it is ready.
    bool StartEzTrans();
    bool EzTransReady() const { return engine_->EngineReady && !ezTransStopped_; }
    // The UI thread: `stopped` runs when the chosen engine stops answering
    // for the run (a call that hung or faulted).
    void SetOnEngineStopped(std::function<void(EngineKind)> stopped);
    // The server to ask from the next text on, and the API key in clear for
    // this run (read from the protected form the file keeps).
    void ConfigureServer(const ServerSettings& server);
    // At start: the server and key as the file left them, made safe to use;
    // lines for the log about what was set aside.
    std::vector<std::u16string> LoadServer(ServerSettings& server, const std::string& storedKey);
    const std::string& ServerApiKey() const { return serverApiKey_; }
    // A new key for this run, and what the file is to keep.
    NewApiKey ChangeServerApiKey(const std::string& key);
    // On the engine thread, in turn with the texts; `done` from there.
    void TestServer(const ServerDialogValues& values, std::function<void(std::u16string)> done);

    // The cloud services (DeepL, Papago), as the server: their keys as the
    // file left them, read once at start (lines for the log about what was
    // set aside), the settings in force from the next text on, a new key,
    // and a test on the service's own engine thread.
    std::vector<std::u16string> LoadServiceKeys(AppSettings& settings);
    void ConfigureServices(const AppSettings& settings);
    const std::string& ServiceApiKey(EngineKind service) const;
    NewApiKey ChangeServiceApiKey(EngineKind service, const std::string& key);
    void TestService(EngineKind service, const ServiceDialogValues& values, const AppSettings& settings,
                     std::function<void(std::u16string)> done);

    // The program closes: nothing more is read or shown, the chain is left,
    // the WebSocket is closed, the engine call in progress finishes and the
    // engines end. When a call stays inside an engine (hung or faulted, now
    // or earlier in the run), the process ends here: it must not wait for
    // the engine nor free it.
    void Stop();

private:
    void OnClipboardText(ClipboardText text);  // on the reader thread
    void OnWebSocketText(std::u16string text);        // on a source's thread
    // Where a text read now came from and when, when both kinds of source are on.
    void MarkOrigin(CapturedText& text, TextSource source, TextOrigin origin) const;
    CaptureSwitches CurrentSwitches();

    LogViewPort& log_;
    Win32CodePages codePages_;
    Win32Registry registry_;
    Win32FileSystem files_;
    Win32Libraries libraries_;
    Win32Http http_;        // the server's
    Win32Http deepLHttp_;   // each engine its own: an engine's Abort ends only its request
    Win32Http papagoHttp_;
    Win32Secrets secrets_;
    Win32UiThread uiThread_;
    EngineFaultGuard faultGuard_;
    bool ezTransStopped_ = false;
    std::string serverApiKey_;
    std::string deepLApiKey_;
    std::string papagoApiKey_;

    std::mutex switchesMutex_;
    CaptureSwitches switches_;  // guarded by switchesMutex_

    std::unique_ptr<TranslationEngine> engine_;
    std::unique_ptr<ServerTranslator> server_;
    std::unique_ptr<DeepLTranslator> deepL_;
    std::unique_ptr<PapagoTranslator> papago_;
    std::unique_ptr<CompanionServer> companion_;  // fed by the pipeline: gone after it
    std::unique_ptr<CapturePipeline> pipeline_;
    std::shared_ptr<Win32WebSocket> webSocketPort_ = std::make_shared<Win32WebSocket>();
    std::shared_ptr<CallGate> testGate_ = std::make_shared<CallGate>();  // closed at Stop
    std::vector<std::unique_ptr<WebSocketSource>> webSockets_;  // one for each URL in use
    std::unique_ptr<ClipboardReaderThread> reader_;  // last: gone before what it feeds
    bool stopped_ = false;
};

} // namespace kx::win32
