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

// What comes after "scheme://" up to the first "/", "?" or "#"; nullopt
// without a "://" after a scheme's letters.
std::optional<std::string_view> Authority(std::string_view url)
{
    const std::size_t colon = url.find("://");
    if (colon == std::string_view::npos || colon == 0 ||
        url.substr(0, colon).find_first_of("/?#@") != std::string_view::npos)
        return std::nullopt;
    const std::string_view rest = url.substr(colon + 3);
    return rest.substr(0, rest.find_first_of("/?#"));
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
    const std::optional<std::string_view> authority = Authority(url);
    return authority && authority->find('@') != std::string_view::npos;
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
    const std::string_view shown = url.substr(0, url.find_first_of("?#"));
    // Without a scheme (a URL written wrong in the settings file), what comes
    // before the first "/" is taken for the host and its user info.
    const std::string_view authority = Authority(shown).value_or(shown.substr(0, shown.find('/')));
    const std::size_t at = authority.rfind('@');
    if (at == std::string_view::npos)
        return std::string(shown);
    const std::size_t begin = static_cast<std::size_t>(authority.data() - shown.data());
    return std::string(shown.substr(0, begin)) + std::string(shown.substr(begin + at + 1));
}

} // namespace kx
