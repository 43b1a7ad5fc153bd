#include "platform/win32/win32_secrets.h"

#include <windows.h>
#include <wincrypt.h>

namespace kx::win32 {

namespace {

// The blob CryptProtectData or CryptUnprotectData gave back, freed with
// LocalFree; a clear-text one is wiped first.
class OutputBlob {
public:
    explicit OutputBlob(bool wipe) : wipe_(wipe) {}
    ~OutputBlob()
    {
        if (!blob.pbData)
            return;
        if (wipe_)
            ::SecureZeroMemory(blob.pbData, blob.cbData);
        ::LocalFree(blob.pbData);
    }
    OutputBlob(const OutputBlob&) = delete;
    OutputBlob& operator=(const OutputBlob&) = delete;

    std::string Bytes() const { return std::string(reinterpret_cast<const char*>(blob.pbData), blob.cbData); }

    DATA_BLOB blob{};

private:
    bool wipe_;
};

DATA_BLOB InputBlob(const std::string& bytes)
{
    DATA_BLOB blob{};
    blob.cbData = static_cast<DWORD>(bytes.size());
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    return blob;
}

bool FitsInBlob(const std::string& bytes) { return bytes.size() <= 0x7FFFFFFF; }

} // namespace

std::optional<std::string> Win32Secrets::Protect(const std::string& secret)
{
    if (!FitsInBlob(secret))
        return std::nullopt;
    DATA_BLOB in = InputBlob(secret);
    OutputBlob out(false);
    if (!::CryptProtectData(&in, L"KestruneEX server key", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &out.blob))
        return std::nullopt;
    return out.Bytes();
}

std::optional<std::string> Win32Secrets::Unprotect(const std::string& protectedBytes)
{
    if (protectedBytes.empty() || !FitsInBlob(protectedBytes))
        return std::nullopt;
    DATA_BLOB in = InputBlob(protectedBytes);
    OutputBlob out(true);
    if (!::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob))
        return std::nullopt;
    return out.Bytes();
}

} // namespace kx::win32
