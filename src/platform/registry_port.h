#pragma once
// Read access to string values under HKEY_CURRENT_USER.
#include <optional>
#include <string>

namespace kx {

struct RegistryString {
    bool keyOpened = false;              // false: the key could not be opened
    std::optional<std::string> value;    // empty: missing, unreadable or too long
};

class RegistryPort {
public:
    virtual ~RegistryPort() = default;
    // Opens `key` under HKEY_CURRENT_USER and reads the string `valueName` into
    // a buffer of `bufferBytes` bytes (terminator included); closes the key.
    virtual RegistryString ReadCurrentUserString(const std::string& key, const std::string& valueName,
                                                 std::size_t bufferBytes) = 0;
};

} // namespace kx
