#pragma once
// The translation server's API key in the settings file: the hex digits of
// its protected bytes, never the key itself.
#include "platform/secret_port.h"
#include "settings/app_settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

std::string HexOfBytes(std::string_view bytes);
// nullopt unless an even number of hexadecimal digits (either case).
std::optional<std::string> BytesOfHex(std::string_view hex);

// What the file stores for `key` ("" for no key); nullopt when it cannot be
// protected.
std::optional<std::string> StoredApiKey(SecretPort& secrets, const std::string& key);
// The key back from what the file holds ("" for nothing stored); nullopt
// when it is not this user's or is damaged.
std::optional<std::string> ApiKeyFromStored(SecretPort& secrets, std::string_view stored);

// The server as the settings file left it, made safe to use at start: a URL
// with user info (which could send the key and the text to another host
// than it seems to name) counts as not set, and a stored key that cannot be
// read as none. `lines` tells the log what was set aside.
struct StoredServer {
    std::string apiKey;
    std::vector<std::u16string> lines;
};
StoredServer ReadStoredServer(SecretPort& secrets, ServerSettings& server, std::string_view storedKey);
// The same for a cloud service's URL and key: `service` names it in the
// lines ("DeepL"), `settingsItem` the menu item to enter the key again in.
StoredServer ReadStoredService(SecretPort& secrets, std::string& url, std::string_view defaultUrl,
                               std::string_view storedKey, std::u16string_view service,
                               std::u16string_view settingsItem);

// A new key from the dialog: what the file stores from now on. When the key
// cannot be protected, nothing is stored, so that the key stored before is
// not used at the next start either, and `problem` says so.
struct NewApiKey {
    std::string stored;
    std::optional<std::u16string> problem;
};
NewApiKey StoreNewApiKey(SecretPort& secrets, const std::string& key);

// The log's line naming the server: the URL without its query, which may
// hold a key.
std::u16string ServerLogLine(const ServerSettings& server);

} // namespace kx
