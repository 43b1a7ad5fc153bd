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

// At start a URL with user info is set aside and an unreadable key is none,
// each with its line; a key that cannot be protected stores nothing, so the
// key stored before goes too.
TEST(ServerKey, WhatTheFileHoldsIsMadeSafeAtStartAndAnUnprotectableKeyRemovesTheOldOne)
{
    FakeSecrets secrets;
    ServerSettings server;
    server.url = "https://a.example@b.example/v1/chat/completions";
    const std::string storedKey = *StoredApiKey(secrets, "sk-old");
    StoredServer stored = ReadStoredServer(secrets, server, storedKey);
    EXPECT_EQ(server.url, ServerSettings().url);
    EXPECT_EQ(stored.apiKey, "sk-old");
    EXPECT_EQ(stored.lines, std::vector<std::u16string>{
                                u"Translation server: the URL in KestruneEX.ini holds a user name or password and is not used"});
    server.url = "https://api.example/v1";
    stored = ReadStoredServer(secrets, server, "5531ZZ");
    EXPECT_EQ(server.url, "https://api.example/v1");
    EXPECT_EQ(stored.apiKey, "");
    ASSERT_EQ(stored.lines.size(), 1u);
    EXPECT_NE(stored.lines[0].find(u"cannot be read"), std::u16string::npos);

    EXPECT_EQ(StoreNewApiKey(secrets, "sk-new").stored, *StoredApiKey(secrets, "sk-new"));
    EXPECT_EQ(StoreNewApiKey(secrets, "sk-new").problem, std::nullopt);
    secrets.refuse = true;
    const NewApiKey refused = StoreNewApiKey(secrets, "sk-new");
    EXPECT_EQ(refused.stored, "");
    ASSERT_TRUE(refused.problem);
    EXPECT_NE(refused.problem->find(u"the key saved before is removed"), std::u16string::npos);
}

} // namespace
