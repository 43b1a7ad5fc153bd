#pragma once
// An HttpPort that answers each Post with the next canned response (none
// left: it cannot connect) and keeps the requests it was given.
#include "platform/http_port.h"

#include <deque>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kx::test {

inline constexpr const char* kCannotConnect = "cannot connect to 127.0.0.1:443";

class CannedHttp : public HttpPort {
public:
    HttpResponse Post(const HttpRequest& request) override
    {
        requests.push_back(request);
        if (throwOnPost)
            throw std::runtime_error("out of memory");
        if (responses.empty())
            return {false, 0, {}, kCannotConnect};
        HttpResponse next = std::move(responses.front());
        responses.pop_front();
        return next;
    }
    void Cancel() override { ++cancels; }

    void Answer(int status, std::string body) { responses.push_back({true, status, std::move(body), {}}); }
    const HttpRequest& Last() const { return requests.back(); }

    std::vector<HttpRequest> requests;
    std::deque<HttpResponse> responses;
    int cancels = 0;
    bool throwOnPost = false;
};

using Headers = std::vector<std::pair<std::string, std::string>>;

} // namespace kx::test
