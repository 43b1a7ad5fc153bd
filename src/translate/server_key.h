#pragma once
// The translation server's API key in the settings file: the hex digits of
// its protected bytes, never the key itself.
#include "platform/secret_port.h"

#include <optional>
#include <string>
#include <string_view>

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

} // namespace kx
