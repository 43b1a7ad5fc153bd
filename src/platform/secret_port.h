#pragma once
// Keeps a secret (the translation server's API key) readable only by the
// user who stored it (the Win32 adapter uses CryptProtectData).
#include <optional>
#include <string>

namespace kx {

class SecretPort {
public:
    virtual ~SecretPort() = default;
    // The protected bytes of `secret`; nullopt when it cannot be protected.
    virtual std::optional<std::string> Protect(const std::string& secret) = 0;
    // The secret back; nullopt when the bytes are not this user's or damaged.
    virtual std::optional<std::string> Unprotect(const std::string& protectedBytes) = 0;
};

} // namespace kx
