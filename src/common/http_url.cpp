#include "common/http_url.h"

#include "common/text.h"

namespace kx {
namespace {

bool StartsWithCaseless(std::string_view text, std::string_view lowerPrefix)
{
    return text.size() >= lowerPrefix.size() && EqualsIgnoringAsciiCase(text.substr(0, lowerPrefix.size()), lowerPrefix);
}

// One decimal number of a dotted address: 1 to 3 digits, at most 255.
bool IsAddressByte(std::string_view part)
{
    if (part.empty() || part.size() > 3)
        return false;
    int value = 0;
    for (char c : part) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= 255;
}

} // namespace

std::optional<HttpUrlParts> SplitHttpUrl(std::string_view url)
{
    HttpUrlParts parts;
    if (StartsWithCaseless(url, "https://")) {
        parts.secure = true;
        url.remove_prefix(8);
    } else if (StartsWithCaseless(url, "http://")) {
        url.remove_prefix(7);
    } else {
        return std::nullopt;
    }
    std::string_view authority = url.substr(0, url.find_first_of("/?#"));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        parts.hasUserInfo = true;
        authority.remove_prefix(at + 1);
    }
    // Without the port; an IPv6 address is in brackets.
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        const bool portOrEnd = close != std::string_view::npos &&
                               (close + 1 == authority.size() || authority[close + 1] == ':');
        parts.host = std::string(portOrEnd ? authority.substr(0, close + 1) : authority);
    } else {
        parts.host = std::string(authority.substr(0, authority.find(':')));
    }
    return parts;
}

bool HasUserInfo(std::string_view url)
{
    const std::optional<HttpUrlParts> parts = SplitHttpUrl(url);
    return parts && parts->hasUserInfo;
}

bool IsLoopbackLiteral(std::string_view host)
{
    if (EqualsIgnoringAsciiCase(host, "localhost") || host == "[::1]" || host == "::1")
        return true;
    if (!host.starts_with("127."))
        return false;
    int parts = 0;
    for (std::size_t begin = 0;; ++parts) {
        const std::size_t dot = host.find('.', begin);
        if (!IsAddressByte(host.substr(begin, dot == std::string_view::npos ? dot : dot - begin)))
            return false;
        if (dot == std::string_view::npos)
            return parts + 1 == 4;
        begin = dot + 1;
    }
}

bool ApiKeyMayTravel(std::string_view url)
{
    const std::optional<HttpUrlParts> parts = SplitHttpUrl(url);
    return parts && !parts->hasUserInfo && (parts->secure || IsLoopbackLiteral(parts->host));
}

std::string UrlForLog(std::string_view url)
{
    return std::string(url.substr(0, url.find_first_of("?#")));
}

} // namespace kx
