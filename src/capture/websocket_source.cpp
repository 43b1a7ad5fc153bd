#include "capture/websocket_source.h"

#include "capture/reconnect_schedule.h"
#include "capture/websocket_message.h"
#include "common/utf.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

namespace kx {

struct WebSocketSource::Shared {
    std::shared_ptr<WebSocketPort> port;
    std::shared_ptr<ClockPort> clock;
    Handlers handlers;
    Limits limits;
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;                       // guarded by mutex
    bool ended = false;                          // guarded by mutex
    WebSocketConnection* connection = nullptr;   // the open one; guarded by mutex

    bool Stopping()
    {
        std::lock_guard lock(mutex);
        return stopping;
    }
};

namespace {

using Shared = WebSocketSource::Shared;

// The connection's messages until it is lost (its reason) or the source stops.
std::optional<std::string> ReadMessages(Shared& shared, CallGate& gate, WebSocketConnection& connection,
                                        NoticeThrottle& oversize)
{
    for (;;) {
        WebSocketMessage message = connection.Receive(shared.limits.messageBytes);
        if (shared.Stopping())
            return std::nullopt;
        switch (message.kind) {
        case WebSocketMessage::Kind::Text:
            if (std::optional<std::u16string> text = TextOfMessage(message.bytes))
                gate.Run([&] { shared.handlers.onText(std::move(*text)); });
            break;
        case WebSocketMessage::Kind::TooLarge:
            if (oversize.Allow()) {
                const std::string limit = std::to_string(shared.limits.messageBytes >> 20) + " MiB";
                gate.Run([&] { shared.handlers.onNotice(u"Text source: a message over " + Utf16FromUtf8(limit) +
                                                        u" was not shown"); });
            }
            break;
        case WebSocketMessage::Kind::Binary:
            break;
        case WebSocketMessage::Kind::Closed:
            return std::move(message.failure);
        }
    }
}

void Run(std::shared_ptr<Shared> shared, std::shared_ptr<CallGate> gate, std::string url)
{
    ReconnectSchedule schedule(*shared->clock, shared->limits.retryMs);
    NoticeThrottle oversize(*shared->clock, shared->limits.oversizeNoticeMs);
    const auto notice = [&](std::optional<std::u16string> line) {
        if (line)
            gate->Run([&] { shared->handlers.onNotice(std::move(*line)); });
    };
    for (;;) {
        {
            std::unique_lock lock(shared->mutex);
            shared->changed.wait_for(lock, std::chrono::milliseconds(schedule.WaitMs()),
                                     [&] { return shared->stopping; });
            if (shared->stopping)
                break;
        }
        if (schedule.WaitMs() > 0)
            continue;
        std::unique_ptr<WebSocketConnection> connection = shared->port->NewConnection(url);
        {
            // From here Stop reaches the connection, also while it opens.
            std::lock_guard lock(shared->mutex);
            if (shared->stopping)
                break;
            shared->connection = connection.get();
        }
        const std::string failure = connection->Open();
        std::optional<std::string> lost;
        if (failure.empty() && !shared->Stopping()) {
            notice(schedule.Connected(url));
            lost = ReadMessages(*shared, *gate, *connection, oversize);
        }
        {
            std::lock_guard lock(shared->mutex);
            shared->connection = nullptr;
        }
        connection.reset();
        if (shared->Stopping())
            break;
        if (!failure.empty())
            notice(schedule.Failed(url, failure));
        else if (lost)
            notice(schedule.Lost(url, *lost));
    }
    std::lock_guard lock(shared->mutex);
    shared->ended = true;
    shared->changed.notify_all();
}

} // namespace

WebSocketSource::WebSocketSource(std::shared_ptr<WebSocketPort> port, std::shared_ptr<ClockPort> clock,
                                 Handlers handlers, Limits limits)
    : shared_(std::make_shared<Shared>()), gate_(std::make_shared<CallGate>())
{
    shared_->port = std::move(port);
    shared_->clock = std::move(clock);
    shared_->handlers = std::move(handlers);
    shared_->limits = limits;
}

WebSocketSource::~WebSocketSource()
{
    Stop(std::chrono::milliseconds(0));
}

void WebSocketSource::Start(const std::string& url)
{
    if (thread_.joinable())
        return;
    url_ = url;
    thread_ = std::thread(Run, shared_, gate_, url);
}

void WebSocketSource::Stop(std::chrono::milliseconds wait)
{
    if (!thread_.joinable()) {
        gate_->Close();
        return;
    }
    AskToStop();
    bool ended = false;
    {
        std::unique_lock lock(shared_->mutex);
        ended = shared_->changed.wait_for(lock, wait, [this] { return shared_->ended; });
    }
    gate_->Close();
    if (ended)
        thread_.join();
    else
        thread_.detach();
}

void WebSocketSource::AskToStop()
{
    std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    if (shared_->connection)
        shared_->connection->Shutdown();
    shared_->changed.notify_all();
}

} // namespace kx
