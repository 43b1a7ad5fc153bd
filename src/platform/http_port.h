#pragma once
// One HTTP POST to a translation server, made on the engine thread.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kx {

// What the caller wants after a piece of a streamed body.
enum class BodyWanted {
    More,
    // The answer is complete (a stream's end marker came, however long the
    // server keeps the connection): Post returns what came as a received
    // answer and closes the connection.
    Enough,
};

struct HttpRequest {
    std::string url;          // http:// or https://, with the path
    std::string body;         // UTF-8 JSON
    std::string bearerToken;  // sent as "Authorization: Bearer <token>" when not empty
    // More header lines, sent as given after the port's own. A name or a
    // value that a header line cannot carry as it is (a line break, a byte
    // that is not printable ASCII) makes Post fail before it connects. A
    // header that holds a secret is the caller's to leave out where the URL
    // may not carry it (ApiKeyMayTravel).
    std::vector<std::pair<std::string, std::string>> headers;
    std::int32_t timeoutSeconds = 30;  // for the whole exchange
    // When set: each piece of a 200 answer's body as it arrives, called on
    // the thread that called Post, before Post returns. The body (as far as
    // it was read) is in the response all the same.
    std::function<BodyWanted(std::string_view piece)> onBodyPiece;
};

struct HttpResponse {
    bool received = false;   // false: no HTTP answer at all (see failure)
    int status = 0;          // the HTTP status when received
    std::string body;
    std::string failure;     // why nothing was received, in words for the log
};

// The failure of an exchange that ran out of time, as the log says it.
inline std::string NoAnswerWithin(std::int32_t seconds)
{
    return "no answer within " + std::to_string(seconds) + " s";
}

class HttpPort {
public:
    virtual ~HttpPort() = default;
    // Blocks the calling thread until the answer, the time-out or Cancel.
    virtual HttpResponse Post(const HttpRequest& request) = 0;
    // Any thread: the Post in progress, and every later one, return at once
    // with a failure. For closing the program.
    virtual void Cancel() = 0;
};

} // namespace kx
