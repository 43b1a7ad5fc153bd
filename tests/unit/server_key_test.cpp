#include "translate/server_key.h"

#include <gtest/gtest.h>

#include <cctype>

using namespace kx;

namespace {

// Protects by flipping every bit behind a tag that marks this "user".
class FakeSecrets : public SecretPort {
public:
    std::optional<std::string> Protect(const std::string& secret) override
    {
        if (refuse)
            return std::nullopt;
        std::string out = "U1";
        for (char c : secret)
            out.push_back(static_cast<char>(~c));
        return out;
    }
    std::optional<std::string> Unprotect(const std::string& bytes) override
    {
        if (bytes.rfind("U1", 0) != 0)
            return std::nullopt;
        std::string out;
        for (char c : bytes.substr(2))
            out.push_back(static_cast<char>(~c));
        return out;
    }
    bool refuse = false;
};

TEST(ServerKey, StoredOnlyAsHexOfTheProtectedBytesAndReadBack)
{
    FakeSecrets secrets;
    const std::string key("sk-\xED\x95\x9C\x00z", 8);  // non-ASCII UTF-8 kept byte for byte
    const std::optional<std::string> stored = StoredApiKey(secrets, key);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->find("sk-"), std::string::npos);
    EXPECT_EQ(stored->find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(ApiKeyFromStored(secrets, *stored), key);
    // Lower-case digits from a hand edit read the same.
    std::string lower = *stored;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(ApiKeyFromStored(secrets, lower), key);
}

TEST(ServerKey, NoKeyIsNothingStoredAndEveryBadValueIsUnreadable)
{
    FakeSecrets secrets;
    EXPECT_EQ(StoredApiKey(secrets, ""), "");
    EXPECT_EQ(ApiKeyFromStored(secrets, ""), "");
    secrets.refuse = true;
    EXPECT_EQ(StoredApiKey(secrets, "k"), std::nullopt);
    EXPECT_EQ(ApiKeyFromStored(secrets, "ABC"), std::nullopt);     // odd length
    EXPECT_EQ(ApiKeyFromStored(secrets, "5531ZZ"), std::nullopt);  // not hex
    EXPECT_EQ(ApiKeyFromStored(secrets, HexOfBytes("U2xx")), std::nullopt);  // another user's
    EXPECT_EQ(BytesOfHex("00FF7f"), std::string("\x00\xFF\x7F", 3));
}

} // namespace
