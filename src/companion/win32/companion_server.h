#pragma once
// The reading companion's server: HTTP and WebSocket on a thread of its own,
// fed the captured lines by the capture pipeline (on the UI thread), which
// only queues them: no client, however slow or hostile, holds the program.
#include "capture/line_listener.h"

#include <winsock2.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kx::win32 {

class CompanionServer final : public LineListener {
public:
    struct Address {
        std::uint16_t port = 0;
        bool everyAddress = false;  // else 127.0.0.1 only
        bool operator==(const Address&) const = default;
    };

    // `page`: what http://host:port/ serves.
    explicit CompanionServer(std::string page);
    ~CompanionServer() override;
    CompanionServer(const CompanionServer&) = delete;
    CompanionServer& operator=(const CompanionServer&) = delete;

    // UI thread: serve on `address` (a change of address starts anew), or
    // stop serving (none). Empty when that is done, else why not, as a line
    // for the log ("Reading companion: port N is in use").
    std::u16string Serve(std::optional<Address> address);
    std::optional<Address> Serving() const { return serving_; }
    // UI thread: the game profile's name, given with the lines captured from now on.
    void SetGame(std::u16string game) { game_ = std::move(game); }

    void LineCaptured(std::uint64_t id, const std::u16string& source) override;
    void LineShown(std::uint64_t id, const std::u16string& source, const std::u16string& shown, bool final) override;

    // The clients get a close frame; returns within a second and a half
    // (counted from AskToStop, when that came first).
    void Stop() { Serve(std::nullopt); }
    // The thread begins to end, and nothing more is served.
    void AskToStop();

    struct Shared;  // what the thread and this object share

private:
    std::string page_;
    bool winsock_ = false;
    std::optional<Address> serving_;
    std::u16string game_;
    std::uint64_t idBase_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

// The page built into the program (empty when it cannot be read).
std::string CompanionPage();

// This computer's IPv4 addresses another device on the network could use.
std::vector<std::string> NetworkAddresses();

} // namespace kx::win32
