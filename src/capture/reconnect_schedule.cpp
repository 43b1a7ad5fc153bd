#include "capture/reconnect_schedule.h"

#include "common/http_url.h"
#include "common/utf.h"

#include <algorithm>
#include <string>

namespace kx {
namespace {

// A query may hold a token: the log shows the URL without it.
std::u16string LogLine(std::string_view what, std::string_view url, std::string_view reason = {})
{
    std::string line = "Text source: " + std::string(what) + " " + UrlForLog(url);
    if (!reason.empty())
        line += " (" + std::string(reason) + ")";
    return Utf16FromUtf8(line);
}

} // namespace

std::int64_t ReconnectSchedule::WaitMs() const
{
    return nextTryMs_ ? std::max<std::int64_t>(0, *nextTryMs_ - clock_.NowMs()) : 0;
}

std::optional<std::u16string> ReconnectSchedule::Connected(std::string_view url)
{
    const std::int64_t now = clock_.NowMs();
    nextTryMs_.reset();
    connectedMs_ = now;
    connectionTold_ = !lastToldMs_ || now - *lastToldMs_ >= kQuietMs;
    if (!connectionTold_)
        return std::nullopt;
    lastToldMs_ = now;
    failureTold_ = false;
    return LogLine("connected to", url);
}

std::optional<std::u16string> ReconnectSchedule::Failed(std::string_view url, std::string_view reason)
{
    nextTryMs_ = clock_.NowMs() + retryMs_;
    if (failureTold_)
        return std::nullopt;
    failureTold_ = true;
    return LogLine("cannot connect to", url, reason);
}

std::optional<std::u16string> ReconnectSchedule::Lost(std::string_view url, std::string_view reason)
{
    const std::int64_t now = clock_.NowMs();
    nextTryMs_ = now + retryMs_;
    failureTold_ = true;
    const bool steady = now - connectedMs_ >= kSteadyMs;
    if (steady)
        lastToldMs_.reset();
    if (!connectionTold_ && !steady)
        return std::nullopt;
    return LogLine("lost the connection to", url, reason);
}

bool NoticeThrottle::Allow()
{
    const std::int64_t now = clock_.NowMs();
    if (lastMs_ && now - *lastMs_ < periodMs_)
        return false;
    lastMs_ = now;
    return true;
}

} // namespace kx
