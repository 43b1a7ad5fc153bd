#pragma once
// The reading companion's connections, apart from their sockets: each
// client's request read and answered (the page, a WebSocket upgrade to one of
// the three feeds, or a refusal), what it sends read and ignored, and what
// waits to go out to it, bounded. The server's thread owns it; the socket
// layer hands in what each connection received and sends what is pending.
#include "companion/line_feed.h"
#include "companion/websocket_frames.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

class CompanionClients {
public:
    using ClientId = std::uint64_t;
    struct Limits {
        std::size_t clients = 16;               // connections served at once; the next gets 503
        std::size_t queuedBytes = std::size_t{1} << 20;  // a client with more waiting is dropped
    };
    enum class State {
        Open,           // reading, and sent what comes
        CloseWhenSent,  // closed by the socket layer once its pending bytes went out
        Drop,           // closed at once, what is pending or not
    };

    CompanionClients(std::string page, Limits limits);
    explicit CompanionClients(std::string page) : CompanionClients(std::move(page), Limits{}) {}

    // A new connection; over the limit it is answered 503 and closed.
    ClientId Accept();
    void Received(ClientId client, std::string_view bytes, const LineFeed& feed);
    // What waits to be sent; Sent when `count` of it went out.
    std::string_view Pending(ClientId client) const;
    void Sent(ClientId client, std::size_t count);
    State StateOf(ClientId client) const;
    // The socket is closed (by either side): forgotten.
    void Remove(ClientId client);
    // Each message to the clients of its feed.
    void Broadcast(const std::vector<FeedMessage>& messages);
    // The program ends: a close frame to each feed's client, the rest closed.
    void CloseAll();
    std::vector<ClientId> Ids() const;
    std::size_t Served() const;  // connections counted against the limit

private:
    struct Client {
        bool counted = false;                // within the limit (not a refused one)
        std::string head;                    // the request so far, until it is read
        std::optional<Endpoint> feed;        // set once upgraded
        ClientFrameReader frames;
        std::string pending;                 // from `sentOffset` on
        std::size_t sentOffset = 0;
        State state = State::Open;
    };
    void Answer(Client& client, std::string response);
    void ReadRequest(Client& client, const LineFeed& feed);
    void ReadFrames(Client& client, std::string_view bytes);
    void Queue(Client& client, std::string_view bytes);

    std::string page_;
    Limits limits_;
    ClientId lastId_ = 0;
    std::map<ClientId, Client> clients_;
};

} // namespace kx
