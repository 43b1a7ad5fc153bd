#include "translate/server_key.h"

namespace kx {
namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

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
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
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

} // namespace kx
