#include "companion/companion_clients.h"

#include "companion/http_request.h"

#include <algorithm>
#include <utility>

namespace kx {
namespace {

constexpr std::uint16_t kCloseGoingAway = 1001;

std::optional<Endpoint> FeedAt(std::string_view path)
{
    if (path == "/source")
        return Endpoint::Source;
    if (path == "/translation")
        return Endpoint::Translation;
    if (path == "/lines")
        return Endpoint::Lines;
    return std::nullopt;
}

std::string Refusal(int status, std::string_view reason)
{
    return HttpResponse(status, reason, "text/plain; charset=utf-8", std::string(reason) + "\n");
}

} // namespace

CompanionClients::CompanionClients(std::string page, Limits limits) : page_(std::move(page)), limits_(limits) {}

CompanionClients::ClientId CompanionClients::Accept()
{
    const ClientId id = ++lastId_;
    Client& client = clients_[id];
    if (Served() >= limits_.clients) {
        Answer(client, Refusal(503, "Service Unavailable"));
        return id;
    }
    client.counted = true;
    return id;
}

std::size_t CompanionClients::Served() const
{
    return static_cast<std::size_t>(
        std::count_if(clients_.begin(), clients_.end(), [](const auto& c) { return c.second.counted; }));
}

void CompanionClients::Received(ClientId id, std::string_view bytes, const LineFeed& feed)
{
    const auto found = clients_.find(id);
    if (found == clients_.end() || found->second.state != State::Open)
        return;
    Client& client = found->second;
    if (client.feed) {
        ReadFrames(client, bytes);
        return;
    }
    client.head.append(bytes);
    ReadRequest(client, feed);
}

void CompanionClients::ReadRequest(Client& client, const LineFeed& feed)
{
    const HeadResult read = ReadRequestHead(client.head);
    if (read.status == HeadStatus::Incomplete)
        return;
    if (read.status != HeadStatus::Complete) {
        Answer(client, Refusal(400, "Bad Request"));
        return;
    }
    const std::string& target = read.head.target;
    const std::string_view path = std::string_view(target).substr(0, target.find('?'));
    const std::optional<Endpoint> endpoint = FeedAt(path);
    std::string key;
    const UpgradeCheck upgrade = CheckWebSocketUpgrade(read.head, &key);
    if (upgrade == UpgradeCheck::BadUpgrade) {
        Answer(client, Refusal(400, "Bad Request"));
    } else if (!endpoint || upgrade == UpgradeCheck::NotUpgrade) {
        if (path == "/" && upgrade == UpgradeCheck::NotUpgrade && read.head.method == "GET")
            Answer(client, HttpResponse(200, "OK", "text/html; charset=utf-8", page_));
        else
            Answer(client, Refusal(404, "Not Found"));
    } else {
        client.feed = endpoint;
        Queue(client, WebSocketUpgradeResponse(key));
        if (*endpoint == Endpoint::Lines)
            for (const std::string& line : feed.Backlog())
                Queue(client, TextFrame(line));
        // Frames the client sent right behind its request.
        const std::string rest = client.head.substr(read.consumed);
        client.head.clear();
        client.head.shrink_to_fit();
        ReadFrames(client, rest);
    }
}

void CompanionClients::ReadFrames(Client& client, std::string_view bytes)
{
    std::vector<ClientFrameReader::Event> events;
    client.frames.Feed(bytes, events);
    for (const ClientFrameReader::Event& event : events) {
        if (client.state != State::Open)
            return;
        switch (event.kind) {
        case ClientFrameReader::Kind::Ping:
            Queue(client, PongFrame(event.payload));
            break;
        case ClientFrameReader::Kind::Close:
        case ClientFrameReader::Kind::Error:
            // A close answered with its code (none: a plain close); a fault with the code it calls for.
            Queue(client, CloseFrame(event.closeCode == 1005 ? 1000 : event.closeCode));
            if (client.state == State::Open)
                client.state = State::CloseWhenSent;
            break;
        case ClientFrameReader::Kind::Message:
        case ClientFrameReader::Kind::Pong:
            break;  // read-only: nothing a client says changes anything
        }
    }
}

void CompanionClients::Answer(Client& client, std::string response)
{
    Queue(client, response);
    if (client.state == State::Open)
        client.state = State::CloseWhenSent;
}

void CompanionClients::Queue(Client& client, std::string_view bytes)
{
    if (client.state == State::Drop)
        return;
    // Counted before the new bytes: one large line alone drops nobody.
    if (client.pending.size() - client.sentOffset >= limits_.queuedBytes) {
        client.state = State::Drop;  // it stopped reading: the others go on
        client.pending.clear();
        client.sentOffset = 0;
        return;
    }
    client.pending.append(bytes);
}

std::string_view CompanionClients::Pending(ClientId id) const
{
    const auto found = clients_.find(id);
    if (found == clients_.end())
        return {};
    return std::string_view(found->second.pending).substr(found->second.sentOffset);
}

void CompanionClients::Sent(ClientId id, std::size_t count)
{
    const auto found = clients_.find(id);
    if (found == clients_.end())
        return;
    Client& client = found->second;
    client.sentOffset = std::min(client.pending.size(), client.sentOffset + count);
    // Moved down only once half of it is gone: each byte is moved at most once.
    if (client.sentOffset == client.pending.size()) {
        client.pending.clear();
        client.sentOffset = 0;
    } else if (client.sentOffset > client.pending.size() / 2) {
        client.pending.erase(0, client.sentOffset);
        client.sentOffset = 0;
    }
}

CompanionClients::State CompanionClients::StateOf(ClientId id) const
{
    const auto found = clients_.find(id);
    return found == clients_.end() ? State::Drop : found->second.state;
}

void CompanionClients::Remove(ClientId id)
{
    clients_.erase(id);
}

void CompanionClients::Broadcast(const std::vector<FeedMessage>& messages)
{
    for (const FeedMessage& message : messages) {
        const std::string frame = TextFrame(message.text);
        for (auto& [id, client] : clients_)
            if (client.feed == message.endpoint && client.state == State::Open)
                Queue(client, frame);
    }
}

void CompanionClients::CloseAll()
{
    for (auto& [id, client] : clients_) {
        if (client.feed && client.state == State::Open)
            Queue(client, CloseFrame(kCloseGoingAway));
        if (client.state == State::Open)
            client.state = State::CloseWhenSent;
    }
}

std::vector<CompanionClients::ClientId> CompanionClients::Ids() const
{
    std::vector<ClientId> ids;
    ids.reserve(clients_.size());
    for (const auto& entry : clients_)
        ids.push_back(entry.first);
    return ids;
}

} // namespace kx
