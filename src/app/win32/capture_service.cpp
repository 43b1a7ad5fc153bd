#include "app/win32/capture_service.h"

#include "capture/append_log.h"
#include "common/steady_clock.h"
#include "common/text.h"
#include "common/utf.h"
#include "translate/server_key.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

namespace kx::win32 {
namespace {

constexpr char16_t kTestText[] = u"こんにちは";

// What a settings dialog's "Test" shows: the answer, or why there is none.
std::u16string TestShown(const std::optional<std::u16string>& answer, const std::u16string& failure)
{
    return answer ? std::u16string(kTestText) + u" \u2192 " + *answer : u"Failed: " + failure;
}
// How long a switch of source waits on the UI thread for the old source to
// end (a close answered by a server nearby comes sooner), so that a switch
// never holds the window up for 100 ms; a source still waiting then for the
// server's answer to its close frame ends on its own within a second.
constexpr std::chrono::milliseconds kSourceSwitchWait{50};
constexpr std::chrono::milliseconds kExitWait{1000};

} // namespace

CaptureService::CaptureService(HWND window, UINT uiMessage, LogViewPort& log, PromptsPort& prompts)
    : log_(log), uiThread_(window, uiMessage)
{
    engine_ = std::make_unique<TranslationEngine>(
        EnginePorts{registry_, files_, libraries_, codePages_, prompts,
                    [this](const std::u16string& line) {
                        if (pipeline_)
                            pipeline_->AddProgramLine(line);
                        else
                            AppendLineToView(log_, line);
                    }});
    engine_->Reset();
    engine_->TranslationAvailable = false;
    server_ = std::make_unique<ServerTranslator>(http_, codePages_);
    deepL_ = std::make_unique<DeepLTranslator>(deepLHttp_, codePages_);
    papago_ = std::make_unique<PapagoTranslator>(papagoHttp_, codePages_);
    // In EngineKind order: an engine's EngineId is its place here.
    companion_ = std::make_unique<CompanionServer>(CompanionPage());
    pipeline_ = std::make_unique<CapturePipeline>(
        codePages_, log_, std::vector<Translator*>{engine_.get(), server_.get(), deepL_.get(), papago_.get()}, uiThread_,
        SystemAnsiLeadBytes());
    pipeline_->SetLineListener(companion_.get());
    reader_ = std::make_unique<ClipboardReaderThread>(ClipboardReaderThread::Handlers{
        [this] {
            const CaptureSwitches now = CurrentSwitches();
            // With the WebSocket source, changes are passed on along the chain, not read.
            return ClipboardWatcher::ReadSwitches{now.monitoring && ReadsClipboard(now.source),
                                                  now.method == UnicodeText};
        },
        [this](ClipboardText text) { OnClipboardText(std::move(text)); },
        [this](const std::string& message) {
            CapturedText failed;
            failed.failure = message;
            pipeline_->Read(std::move(failed));
        }});
}

CaptureService::~CaptureService()
{
    Stop();
}

void CaptureService::Start()
{
    reader_->Join();
}

void CaptureService::Publish(const CaptureSwitches& switches)
{
    std::lock_guard lock(switchesMutex_);
    switches_ = switches;
}

CaptureSwitches CaptureService::CurrentSwitches()
{
    std::lock_guard lock(switchesMutex_);
    return switches_;
}

void CaptureService::OnClipboardText(ClipboardText text)
{
    const CaptureSwitches now = CurrentSwitches();
    // Only handed over: the reader is back for the next change at once.
    CapturedText captured{std::move(text.bytes), std::move(text.wide), MethodForRead(now.method, text.unicode),
                          now.options, now.translate, now.filters, {}};
    captured.engines = now.engines;
    MarkOrigin(captured, now.source, TextOrigin::Clipboard);
    pipeline_->Read(std::move(captured));
}

void CaptureService::MarkOrigin(CapturedText& text, TextSource source, TextOrigin origin) const
{
    if (source != TextSource::Both)
        return;
    text.origin = origin;
    text.readAtMs = SteadyMilliseconds();
}

void CaptureService::SetOnEngineStopped(std::function<void(EngineKind)> stopped)
{
    pipeline_->SetOnEngineStopped([this, stopped = std::move(stopped)](EngineId engine) {
        const EngineKind kind = static_cast<EngineKind>(engine);
        if (kind == EngineKind::EzTrans)
            ezTransStopped_ = true;
        stopped(kind);
    });
}

void CaptureService::OnWebSocketText(std::u16string text)
{
    const CaptureSwitches now = CurrentSwitches();
    if (!now.monitoring || !ReadsWebSockets(now.source))
        return;
    // Unicode text: no code page between the server and the log.
    CapturedText captured{{}, std::move(text), UnicodeText, now.options, now.translate, now.filters, {}};
    captured.engines = now.engines;
    MarkOrigin(captured, now.source, TextOrigin::WebSocket);
    pipeline_->Read(std::move(captured));
}

void CaptureService::UseTextSource(TextSource source, const std::vector<std::string>& urls)
{
    if (stopped_)
        return;
    std::vector<std::string> wanted;
    if (ReadsWebSockets(source))
        for (const std::string& url : urls)
            if (wanted.size() < kMaxWebSocketSources && std::find(wanted.begin(), wanted.end(), url) == wanted.end())
                wanted.push_back(url);
    // The sources no longer wanted end side by side; the others keep their connections.
    const auto ending = std::stable_partition(webSockets_.begin(), webSockets_.end(), [&](const auto& running) {
        return std::find(wanted.begin(), wanted.end(), running->Url()) != wanted.end();
    });
    const auto endingCount = static_cast<int>(webSockets_.end() - ending);
    for (auto source = ending; source != webSockets_.end(); ++source)
        (*source)->AskToStop();
    for (auto source = ending; source != webSockets_.end(); ++source)
        (*source)->Stop(kSourceSwitchWait / endingCount);
    webSockets_.erase(ending, webSockets_.end());
    for (const std::string& url : wanted) {
        const bool running = std::any_of(webSockets_.begin(), webSockets_.end(),
                                         [&](const auto& source) { return source->Url() == url; });
        if (running)
            continue;
        auto started = std::make_unique<WebSocketSource>(
            webSocketPort_, std::make_shared<Win32Clock>(),
            WebSocketSource::Handlers{[this](std::u16string text) { OnWebSocketText(std::move(text)); },
                                      [this](std::u16string line) {
                                          pipeline_->Note(std::move(line), CurrentSwitches().options);
                                      }});
        started->Start(url);
        webSockets_.push_back(std::move(started));
    }
}

void CaptureService::TestWebSocket(const std::string& url, std::function<void(std::string failure)> done)
{
    try {
        std::thread([port = webSocketPort_, gate = testGate_, url, done] {
            std::unique_ptr<WebSocketConnection> connection = port->NewConnection(url);
            const std::string failure = connection->Open();
            connection.reset();  // the close frame at once
            gate->Run([&] { done(failure); });
        }).detach();
    } catch (const std::system_error&) {
        done("cannot start a thread for the test");
    }
}

bool CaptureService::StartEzTrans()
{
    // A call is still inside the stopped engine: it is never started again.
    if (ezTransStopped_)
        return false;
    engine_->InitTransEngine();
    return engine_->EngineReady;
}

void CaptureService::ConfigureServer(const ServerSettings& server)
{
    server_->Configure(server, serverApiKey_);
}

std::vector<std::u16string> CaptureService::LoadServer(ServerSettings& server, const std::string& storedKey)
{
    StoredServer stored = ReadStoredServer(secrets_, server, storedKey);
    serverApiKey_ = std::move(stored.apiKey);
    return std::move(stored.lines);
}

NewApiKey CaptureService::ChangeServerApiKey(const std::string& key)
{
    serverApiKey_ = key;
    return StoreNewApiKey(secrets_, serverApiKey_);
}

void CaptureService::TestServer(const ServerDialogValues& values, std::function<void(std::u16string)> done)
{
    pipeline_->Worker(IdOf(EngineKind::Server)).Post([http = &http_, values, done = std::move(done)] {
        // Every test gets its answer, or the dialog's Test stays disabled.
        std::u16string shown;
        try {
            const ServerOutcome outcome = AskServer(*http, values.server, values.apiKey, kTestText);
            shown = TestShown(outcome.translation, Utf16FromUtf8(outcome.failure));
        } catch (const std::exception& e) {
            shown = u"Failed: " + Widen(e.what());
        }
        done(std::move(shown));
    });
}

std::vector<std::u16string> CaptureService::LoadServiceKeys(AppSettings& settings)
{
    StoredServer deepL = ReadStoredService(secrets_, settings.DeepL.url, kDefaultDeepLUrl, settings.DeepLApiKey,
                                           u"DeepL", u"DeepL settings");
    StoredServer papago = ReadStoredService(secrets_, settings.Papago.url, kDefaultPapagoUrl, settings.PapagoApiKey,
                                            u"Papago", u"Papago settings");
    deepLApiKey_ = std::move(deepL.apiKey);
    papagoApiKey_ = std::move(papago.apiKey);
    std::vector<std::u16string> lines = std::move(deepL.lines);
    lines.insert(lines.end(), papago.lines.begin(), papago.lines.end());
    return lines;
}

void CaptureService::ConfigureServices(const AppSettings& settings)
{
    deepL_->Configure(DeepLInForce(settings), deepLApiKey_);
    papago_->Configure(PapagoInForce(settings), papagoApiKey_);
}

const std::string& CaptureService::ServiceApiKey(EngineKind service) const
{
    return service == EngineKind::Papago ? papagoApiKey_ : deepLApiKey_;
}

NewApiKey CaptureService::ChangeServiceApiKey(EngineKind service, const std::string& key)
{
    (service == EngineKind::Papago ? papagoApiKey_ : deepLApiKey_) = key;
    return StoreNewApiKey(secrets_, key);
}

void CaptureService::TestService(EngineKind service, const ServiceDialogValues& values, const AppSettings& settings,
                                 std::function<void(std::u16string)> done)
{
    // The dialog's values on a translator of the test's own: nothing of the
    // run's (held pieces, context, answers kept) goes into it or comes out.
    AppSettings tried = settings;
    tried.DeepL.url = tried.Papago.url = values.url;
    tried.Papago.keyId = values.keyId;
    tried.Papago.honorific = values.honorific ? 1 : 0;
    Win32Http* http = service == EngineKind::Papago ? &papagoHttp_ : &deepLHttp_;
    pipeline_->Worker(IdOf(service)).Post([this, http, service, tried, key = values.apiKey, done = std::move(done)] {
        std::u16string shown;
        try {
            Translation answer;
            if (service == EngineKind::Papago) {
                PapagoTranslator papago(*http, codePages_);
                papago.Configure(PapagoInForce(tried), key);
                answer = papago.Translate(kTestText);
            } else {
                DeepLTranslator deepL(*http, codePages_);
                deepL.Configure(DeepLInForce(tried), key);
                answer = deepL.Translate(kTestText);
            }
            shown = TestShown(answer.failed ? std::nullopt : std::optional(answer.shown), answer.notice);
        } catch (const std::exception& e) {
            shown = u"Failed: " + Widen(e.what());
        }
        done(std::move(shown));
    });
}

void CaptureService::Stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    {
        std::lock_guard lock(switchesMutex_);
        switches_.monitoring = false;
    }
    uiThread_.Close();
    reader_->Leave();
    testGate_->Close();
    companion_->AskToStop();  // its clients take their close frames meanwhile
    for (const std::unique_ptr<WebSocketSource>& source : webSockets_)
        source->AskToStop();
    const auto exitBy = std::chrono::steady_clock::now() + kExitWait;
    for (const std::unique_ptr<WebSocketSource>& source : webSockets_)
        source->Stop(std::max(std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                 exitBy - std::chrono::steady_clock::now())));
    // The engine call in progress finishes, the texts not yet started are dropped.
    if (!pipeline_->Stop(kStopWait))
        ::TerminateProcess(::GetCurrentProcess(), 0);
    engine_->TerminateTransEngine();
    companion_->Stop();
}

} // namespace kx::win32
