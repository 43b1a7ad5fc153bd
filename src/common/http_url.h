#pragma once
// What an http(s) URL says about where a request goes: whether the API key
// may travel with it, whether it may pass by a proxy, and how the log shows
// it (a ws:// or wss:// URL too). Read as written, without name lookups.
#include <optional>
#include <string>
#include <string_view>

namespace kx {

struct HttpUrlParts {
    bool secure = false;       // https
    bool hasUserInfo = false;  // "user@" or "user:password@" before the host
    std::string host;          // as written; an IPv6 address keeps its brackets
};

// nullopt unless the URL begins with http:// or https:// (any case). The
// authority ends at the first "/", "?" or "#"; any "@" in it counts as user
// info and any other character (a "\" too) as part of the host, so that no
// reading of the URL takes a host from it that this one does not.
std::optional<HttpUrlParts> SplitHttpUrl(std::string_view url);

// Any "@" between "scheme://" and the first "/", "?" or "#", whatever the
// scheme: such a URL is not used, as the host a user name seems to be could
// be taken for the server.
bool HasUserInfo(std::string_view url);
inline constexpr char kUserInfoNotUsed[] = "a URL with a user name or password is not used";

// This computer as written in a URL: "localhost" (any case), a dotted
// 127.x.y.z address (four decimal numbers up to 255) or "[::1]" ("::1").
bool IsLoopbackLiteral(std::string_view host);

// The key goes over https, or over plain http to this computer only; never
// with a URL that holds user info.
bool ApiKeyMayTravel(std::string_view url);

// The URL without its query and fragment, which may hold a key ("?key="),
// and without any user name and password before the host.
std::string UrlForLog(std::string_view url);

} // namespace kx
