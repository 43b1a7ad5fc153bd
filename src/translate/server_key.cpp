#include "translate/server_key.h"

#include "common/http_url.h"
#include "common/text.h"
#include "common/utf.h"
#include "translate/server_translator.h"

namespace kx {
namespace {

constexpr char16_t kUnprotectableKeyMessage[] =
    u"The API key cannot be stored protected. It is used until the program closes; no key is saved, "
    u"and the key saved before is removed.";

} // namespace

std::string HexOfBytes(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        hex.push_back(kDigits[b >> 4]);
        hex.push_back(kDigits[b & 0x0F]);
    }
    return hex;
}

std::optional<std::string> BytesOfHex(std::string_view hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigitValue(hex[i]);
        const int low = HexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

std::optional<std::string> StoredApiKey(SecretPort& secrets, const std::string& key)
{
    if (key.empty())
        return std::string();
    const std::optional<std::string> protectedBytes = secrets.Protect(key);
    if (!protectedBytes || protectedBytes->empty())
        return std::nullopt;
    return HexOfBytes(*protectedBytes);
}

std::optional<std::string> ApiKeyFromStored(SecretPort& secrets, std::string_view stored)
{
    if (stored.empty())
        return std::string();
    const std::optional<std::string> bytes = BytesOfHex(stored);
    if (!bytes)
        return std::nullopt;
    return secrets.Unprotect(*bytes);
}

StoredServer ReadStoredServer(SecretPort& secrets, ServerSettings& server, std::string_view storedKey)
{
    return ReadStoredService(secrets, server.url, ServerSettings().url, storedKey, u"Translation server",
                             u"Server settings");
}

StoredServer ReadStoredService(SecretPort& secrets, std::string& url, std::string_view defaultUrl,
                               std::string_view storedKey, std::u16string_view service,
                               std::u16string_view settingsItem)
{
    StoredServer stored;
    const std::u16string prefix = std::u16string(service) + u": ";
    if (HasUserInfo(url)) {
        url = defaultUrl;
        stored.lines.push_back(prefix + u"the URL in KestruneEX.ini holds a user name or password and is not used");
    }
    const std::optional<std::string> key = ApiKeyFromStored(secrets, storedKey);
    // The stored value stays in the file until the user enters a new key.
    if (key)
        stored.apiKey = *key;
    else
        stored.lines.push_back(prefix + u"the stored API key cannot be read here; enter it again in " +
                               std::u16string(settingsItem));
    return stored;
}

NewApiKey StoreNewApiKey(SecretPort& secrets, const std::string& key)
{
    if (std::optional<std::string> stored = StoredApiKey(secrets, key))
        return {std::move(*stored), std::nullopt};
    return {std::string(), std::u16string(kUnprotectableKeyMessage)};
}

std::u16string ServerLogLine(const ServerSettings& server)
{
    return kServerNoticePrefix + Utf16FromUtf8(UrlForLog(server.url));
}

} // namespace kx
