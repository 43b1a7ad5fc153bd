#include "platform/win32/win32_url.h"

#include "common/http_url.h"
#include "common/text.h"
#include "common/utf.h"
#include "common/windows_wide.h"

#include <optional>
#include <string_view>

namespace kx::win32 {
namespace {

bool StartsWithCaseless(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

} // namespace

std::variant<UrlTarget, std::string> CrackUrl(const std::string& url, UrlScheme scheme)
{
    const std::string notAUrl = scheme == UrlScheme::Http ? "not an http or https URL" : "not a ws:// or wss:// URL";
    // ws and wss are http and https for WinHttpCrackUrl, which knows only those.
    std::string asHttp = url;
    if (scheme == UrlScheme::WebSocket) {
        if (StartsWithCaseless(url, "ws://"))
            asHttp = "http://" + url.substr(5);
        else if (StartsWithCaseless(url, "wss://"))
            asHttp = "https://" + url.substr(6);
        else
            return notAUrl;
    }
    if (asHttp.empty() || asHttp.find('\0') != std::string::npos || asHttp.size() > 0x7FFFFFFF)
        return notAUrl;
    const std::optional<std::u16string> units = Utf16FromWellFormedUtf8(asHttp);
    if (!units)
        return notAUrl;
    const std::wstring wide = Wide(*units);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUserNameLength = static_cast<DWORD>(-1);
    parts.dwPasswordLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts))
        return notAUrl;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return notAUrl;
    if (!parts.lpszHostName || parts.dwHostNameLength == 0)
        return notAUrl;
    // The host a user name seems to be could be taken for the server.
    if (parts.dwUserNameLength != 0 || parts.dwPasswordLength != 0 || HasUserInfo(asHttp))
        return std::string(kUserInfoNotUsed);
    UrlTarget target;
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (parts.lpszUrlPath && parts.dwUrlPathLength)
        target.pathAndQuery.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo && parts.dwExtraInfoLength)
        target.pathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (target.pathAndQuery.empty() || target.pathAndQuery[0] != L'/')
        target.pathAndQuery.insert(0, 1, L'/');
    target.hostText = Utf8FromUtf16(Utf16(target.host));
    target.loopback = IsLoopbackLiteral(target.hostText);
    return target;
}

} // namespace kx::win32
