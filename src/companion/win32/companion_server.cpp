#include "companion/win32/companion_server.h"

#include "companion/companion_clients.h"
#include "companion/line_feed.h"
#include "common/steady_clock.h"
#include "common/text.h"
#include "companion/win32/companion_resource_ids.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <utility>

namespace kx::win32 {
namespace {

using SteadyClock = std::chrono::steady_clock;

// WSAWaitForMultipleEvents waits for at most 64: the wake-up, the listener,
// and room for the clients served and a few refused ones on their way out.
constexpr std::size_t kMaxSockets = WSA_MAXIMUM_WAIT_EVENTS - 2;
constexpr std::size_t kReadChunk = 16 * 1024;
// A client that keeps sending is read this far a round, so that the others get their turn.
constexpr std::size_t kReadPerRound = 256 * 1024;
constexpr std::chrono::milliseconds kCloseWait{1000};  // for the clients to take their close frames

// Closed at once, with no wait for what the other side has not taken.
void CloseHard(SOCKET socket)
{
    const linger now{1, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&now), sizeof now);
    ::closesocket(socket);
}

struct LineEvent {
    bool captured = false;
    std::uint64_t id = 0;
    std::u16string source;
    std::u16string shown;
    bool final = false;
    std::u16string game;
};

} // namespace

struct CompanionServer::Shared {
    std::mutex mutex;
    std::vector<LineEvent> events;  // guarded by mutex
    bool stop = false;              // guarded by mutex
    WSAEVENT wake = WSA_INVALID_EVENT;

    ~Shared()
    {
        if (wake != WSA_INVALID_EVENT)
            ::WSACloseEvent(wake);
    }
    void Push(LineEvent event)
    {
        {
            std::lock_guard lock(mutex);
            if (stop)
                return;
            events.push_back(std::move(event));
        }
        ::WSASetEvent(wake);
    }
};

namespace {

struct Connection {
    SOCKET socket = INVALID_SOCKET;
    WSAEVENT event = WSA_INVALID_EVENT;
    bool peerGone = false;
};

class ServerLoop {
public:
    ServerLoop(SOCKET listener, std::string page, std::shared_ptr<CompanionServer::Shared> shared)
        : listener_(listener), clients_(std::move(page)), shared_(std::move(shared))
    {
        listenEvent_ = ::WSACreateEvent();
        ::WSAEventSelect(listener_, listenEvent_, FD_ACCEPT);
    }
    ~ServerLoop()
    {
        for (auto& [id, connection] : connections_) {
            CloseHard(connection.socket);
            ::WSACloseEvent(connection.event);
        }
        if (listener_ != INVALID_SOCKET)
            ::closesocket(listener_);
        ::WSACloseEvent(listenEvent_);
    }

    void Run()
    {
        std::optional<SteadyClock::time_point> closeBy;
        for (;;) {
            Wait(closeBy);
            ::WSAResetEvent(shared_->wake);
            if (!closeBy && TakeEvents()) {
                // Ending: each client gets its close frame, for a second at most.
                clients_.CloseAll();
                closeBy = SteadyClock::now() + kCloseWait;
                ::closesocket(std::exchange(listener_, INVALID_SOCKET));
                ::WSAResetEvent(listenEvent_);
            }
            std::vector<FeedMessage> due;
            feed_.SendDue(SteadyMilliseconds(), due);
            clients_.Broadcast(due);
            if (!closeBy)
                AcceptAll();
            for (auto& [id, connection] : connections_)
                ReadFrom(id, connection);
            for (auto& [id, connection] : connections_)
                SendTo(id, connection);
            CloseFinished();
            if (closeBy && (connections_.empty() || SteadyClock::now() >= *closeBy))
                return;
        }
    }

private:
    void Wait(const std::optional<SteadyClock::time_point>& closeBy)
    {
        std::vector<WSAEVENT> events{shared_->wake, listenEvent_};
        for (const auto& [id, connection] : connections_)
            events.push_back(connection.event);
        DWORD timeout = WSA_INFINITE;
        if (const std::optional<std::int64_t> due = feed_.NextDueMs())
            timeout = static_cast<DWORD>(std::max<std::int64_t>(0, *due - SteadyMilliseconds()));
        if (closeBy) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*closeBy - SteadyClock::now());
            timeout = std::min<DWORD>(timeout, static_cast<DWORD>(std::max<std::int64_t>(0, left.count())));
            timeout = std::min<DWORD>(timeout, 20);  // a client's socket buffer that frees up says nothing more
        }
        ::WSAWaitForMultipleEvents(static_cast<DWORD>(events.size()), events.data(), FALSE, timeout, FALSE);
    }

    // The lines queued by the UI thread to the feed and on to the clients; true once the program ends.
    bool TakeEvents()
    {
        std::vector<LineEvent> events;
        bool stop = false;
        {
            std::lock_guard lock(shared_->mutex);
            events.swap(shared_->events);
            stop = shared_->stop;
        }
        std::vector<FeedMessage> messages;
        const std::int64_t now = SteadyMilliseconds();
        for (LineEvent& event : events) {
            if (event.captured)
                feed_.Captured(event.id, std::move(event.source), std::move(event.game), messages);
            else
                feed_.Shown(event.id, event.source, std::move(event.shown), event.final, now, messages);
        }
        clients_.Broadcast(messages);
        return stop;
    }

    void AcceptAll()
    {
        WSANETWORKEVENTS happened{};
        if (::WSAEnumNetworkEvents(listener_, listenEvent_, &happened) != 0 || !(happened.lNetworkEvents & FD_ACCEPT))
            return;
        for (;;) {
            const SOCKET socket = ::accept(listener_, nullptr, nullptr);
            if (socket == INVALID_SOCKET)
                return;  // none more now (WSAEWOULDBLOCK), or a connection gone before it was taken
            if (connections_.size() >= kMaxSockets) {
                CloseHard(socket);  // past even the refusals' room
                continue;
            }
            Connection connection{socket, ::WSACreateEvent()};
            // Also makes the socket non-blocking.
            ::WSAEventSelect(socket, connection.event, FD_READ | FD_WRITE | FD_CLOSE);
            connections_.emplace(clients_.Accept(), connection);
        }
    }

    void ReadFrom(CompanionClients::ClientId id, Connection& connection)
    {
        WSANETWORKEVENTS happened{};
        ::WSAEnumNetworkEvents(connection.socket, connection.event, &happened);
        if (!(happened.lNetworkEvents & (FD_READ | FD_CLOSE)) || connection.peerGone)
            return;
        char buffer[kReadChunk];
        for (std::size_t read = 0; read < kReadPerRound;) {
            const int got = ::recv(connection.socket, buffer, sizeof buffer, 0);
            if (got > 0) {
                clients_.Received(id, std::string_view(buffer, static_cast<std::size_t>(got)), feed_);
                read += static_cast<std::size_t>(got);
                continue;
            }
            if (got == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK)
                connection.peerGone = true;
            return;
        }
        ::WSASetEvent(connection.event);  // more to read: come back next round
    }

    void SendTo(CompanionClients::ClientId id, Connection& connection)
    {
        for (;;) {
            const std::string_view pending = clients_.Pending(id);
            if (pending.empty() || connection.peerGone || clients_.StateOf(id) == CompanionClients::State::Drop)
                return;
            const int chunk = static_cast<int>(std::min<std::size_t>(pending.size(), 1u << 20));
            const int sent = ::send(connection.socket, pending.data(), chunk, 0);
            if (sent <= 0) {
                if (::WSAGetLastError() != WSAEWOULDBLOCK)
                    connection.peerGone = true;
                return;  // FD_WRITE comes when there is room again
            }
            clients_.Sent(id, static_cast<std::size_t>(sent));
        }
    }

    void CloseFinished()
    {
        for (auto entry = connections_.begin(); entry != connections_.end();) {
            const CompanionClients::ClientId id = entry->first;
            Connection& connection = entry->second;
            const CompanionClients::State state = clients_.StateOf(id);
            const bool sent = clients_.Pending(id).empty();
            if (connection.peerGone || state == CompanionClients::State::Drop) {
                CloseHard(connection.socket);
            } else if (state == CompanionClients::State::CloseWhenSent && sent) {
                ::shutdown(connection.socket, SD_SEND);
                ::closesocket(connection.socket);
            } else {
                ++entry;
                continue;
            }
            ::WSACloseEvent(connection.event);
            clients_.Remove(id);
            entry = connections_.erase(entry);
        }
    }

    SOCKET listener_;
    WSAEVENT listenEvent_ = WSA_INVALID_EVENT;
    LineFeed feed_;
    CompanionClients clients_;
    std::shared_ptr<CompanionServer::Shared> shared_;
    std::map<CompanionClients::ClientId, Connection> connections_;
};

// A listening socket on `address`, or the reason there is none.
SOCKET Listen(const CompanionServer::Address& address, std::u16string& failure)
{
    const std::u16string port = u"port " + Widen(std::to_string(address.port));
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) {
        failure = u"Reading companion: cannot open a socket";
        return INVALID_SOCKET;
    }
    // No other program may take the port while it is ours.
    const BOOL exclusive = TRUE;
    ::setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                 sizeof exclusive);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = ::htons(address.port);
    at.sin_addr.s_addr = ::htonl(address.everyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || ::listen(listener, SOMAXCONN) != 0) {
        const int error = ::WSAGetLastError();
        ::closesocket(listener);
        failure = error == WSAEADDRINUSE || error == WSAEACCES ? u"Reading companion: " + port + u" is in use"
                                                               : u"Reading companion: cannot listen on " + port;
        return INVALID_SOCKET;
    }
    return listener;
}

} // namespace

// A page left open over a restart of the program must not take the new
// run's lines for its old ones: ids begin at this run's start time (in
// microseconds), well within the integers a page's script keeps exact.
CompanionServer::CompanionServer(std::string page)
    : page_(std::move(page)),
      idBase_(static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                             std::chrono::system_clock::now().time_since_epoch())
                                             .count()) *
              1000000u)
{
    WSADATA data{};
    winsock_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

CompanionServer::~CompanionServer()
{
    Stop();
    if (winsock_)
        ::WSACleanup();
}

void CompanionServer::AskToStop()
{
    if (!shared_)
        return;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stop = true;
    }
    ::WSASetEvent(shared_->wake);
}

std::u16string CompanionServer::Serve(std::optional<Address> address)
{
    if (address == serving_)
        return {};
    if (thread_.joinable()) {
        AskToStop();
        thread_.join();  // the thread gives its clients a second at most
        shared_.reset();
    }
    serving_.reset();
    if (!address)
        return {};
    if (!winsock_)
        return u"Reading companion: Windows Sockets are not available";
    std::u16string failure;
    const SOCKET listener = Listen(*address, failure);
    if (listener == INVALID_SOCKET)
        return failure;
    auto shared = std::make_shared<Shared>();
    shared->wake = ::WSACreateEvent();
    try {
        auto loop = std::make_unique<ServerLoop>(listener, page_, shared);
        thread_ = std::thread([loop = std::move(loop)] {
            // Out of memory ends the serving, not the program.
            try {
                loop->Run();
            } catch (const std::exception&) {
            }
        });
    } catch (const std::exception&) {
        return u"Reading companion: cannot start its thread";
    }
    shared_ = std::move(shared);
    serving_ = address;
    return {};
}

void CompanionServer::LineCaptured(std::uint64_t id, const std::u16string& source)
{
    if (shared_)
        shared_->Push({true, idBase_ + id, ServedText(source), {}, false, game_});
}

void CompanionServer::LineShown(std::uint64_t id, const std::u16string& source, const std::u16string& shown,
                                bool final)
{
    if (shared_)
        shared_->Push({false, idBase_ + id, ServedText(source), ServedText(shown), final, {}});
}

std::string CompanionPage()
{
    const HMODULE program = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(program, MAKEINTRESOURCEW(IDR_COMPANION_PAGE), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? ::LoadResource(program, found) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes)
        return {};
    return std::string(static_cast<const char*>(bytes), ::SizeofResource(program, found));
}

std::vector<std::string> NetworkAddresses()
{
    std::vector<std::string> addresses;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; tries < 3 && result == ERROR_BUFFER_OVERFLOW; ++tries) {
        buffer.resize(size);
        result = ::GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                        nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR)
        return addresses;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK)
            continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(unicast->Address.lpSockaddr);
            char text[INET_ADDRSTRLEN] = {};
            if (in->sin_family == AF_INET && ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text))
                addresses.emplace_back(text);
        }
    }
    return addresses;
}

} // namespace kx::win32
