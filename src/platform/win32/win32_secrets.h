#pragma once
// SecretPort over CryptProtectData: the protected bytes can be read back only
// by the same Windows user.
#include "platform/secret_port.h"

namespace kx::win32 {

class Win32Secrets : public SecretPort {
public:
    std::optional<std::string> Protect(const std::string& secret) override;
    std::optional<std::string> Unprotect(const std::string& protectedBytes) override;
};

} // namespace kx::win32
