#include "platform/win32/win32_secrets.h"

#include <gtest/gtest.h>

#include <string>

using kx::win32::Win32Secrets;

namespace {

// Cyrillic, a CJK character, an emoji and a control character.
const std::string kKey = "sk-\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87-\xE9\x8D\xB5-\xF0\x9F\x94\x91-\x01-end";

TEST(SecretsTest, NonAsciiKeyRoundTripsAndIsNotStoredInTheClear)
{
    Win32Secrets secrets;
    const std::optional<std::string> protectedKey = secrets.Protect(kKey);
    ASSERT_TRUE(protectedKey.has_value());
    EXPECT_NE(*protectedKey, kKey);
    EXPECT_EQ(protectedKey->find("sk-"), std::string::npos);
    EXPECT_EQ(protectedKey->find("end"), std::string::npos);
    EXPECT_EQ(secrets.Unprotect(*protectedKey), kKey);
    // Another instance reads it too: nothing is kept in the object.
    EXPECT_EQ(Win32Secrets().Unprotect(*protectedKey), kKey);
}

// The blob ends with the cipher text and a 20-byte signature over it.
TEST(SecretsTest, DamagedCipherTextOrSignatureGiveNothing)
{
    Win32Secrets secrets;
    const std::optional<std::string> protectedKey = secrets.Protect(kKey);
    ASSERT_TRUE(protectedKey.has_value());
    const std::size_t size = protectedKey->size();
    ASSERT_GT(size, 40u);
    for (const std::size_t at : {size - 1, size - 10, size - 20, size - 30}) {
        std::string damaged = *protectedKey;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
        EXPECT_EQ(secrets.Unprotect(damaged), std::nullopt) << "byte " << at << " of " << size;
    }
    EXPECT_EQ(secrets.Unprotect(protectedKey->substr(0, size - 1)), std::nullopt);
    EXPECT_EQ(secrets.Unprotect(protectedKey->substr(0, size / 2)), std::nullopt);
}

// Some header bytes (the description, the salt) are not covered by Wine's
// check, but no damaged byte anywhere may yield a different secret.
TEST(SecretsTest, NoDamagedByteYieldsADifferentKey)
{
    Win32Secrets secrets;
    const std::optional<std::string> protectedKey = secrets.Protect(kKey);
    ASSERT_TRUE(protectedKey.has_value());
    for (std::size_t at = 0; at < protectedKey->size(); ++at) {
        std::string damaged = *protectedKey;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
        const std::optional<std::string> back = secrets.Unprotect(damaged);
        if (back) {
            EXPECT_EQ(*back, kKey) << "byte " << at;
        }
    }
}

TEST(SecretsTest, BytesThatWereNeverProtectedGiveNothing)
{
    Win32Secrets secrets;
    EXPECT_EQ(secrets.Unprotect(""), std::nullopt);
    EXPECT_EQ(secrets.Unprotect(kKey), std::nullopt);
    EXPECT_EQ(secrets.Unprotect(std::string(300, '\0')), std::nullopt);
    EXPECT_EQ(secrets.Unprotect(std::string(1, '\x01')), std::nullopt);
}

} // namespace
