#pragma once
// Where an http(s) or ws(s) URL leads, as WinHttpCrackUrl reads it, for the
// HTTP helper and the WebSocket client alike: both refuse the same URLs for
// the same reasons.
#include <windows.h>
#include <winhttp.h>

#include <string>
#include <variant>

namespace kx::win32 {

struct UrlTarget {
    std::wstring host;
    INTERNET_PORT port = 0;
    bool secure = false;        // https or wss
    std::wstring pathAndQuery;  // begins with "/"
    std::string hostText;       // UTF-8, for failure texts
    bool loopback = false;      // this computer, as written
};

enum class UrlScheme { Http, WebSocket };  // http:// and https://, or ws:// and wss://

// The URL's target, or why it is not used, in words for the log: not a URL of
// that kind, or one with a user name or password (kUserInfoNotUsed).
std::variant<UrlTarget, std::string> CrackUrl(const std::string& url, UrlScheme scheme);

} // namespace kx::win32
