#include "canned_http.h"
#include "platform/posix/iconv_code_pages.h"
#include "translate/papago_translator.h"

#include <gtest/gtest.h>

using namespace kx;
using kx::test::CannedHttp;
using kx::test::Headers;

namespace {

std::string Answer(const std::string& text)
{
    return R"({"message":{"result":{"srcLangType":"ja","tarLangType":"ko","translatedText":")" + text + R"("}}})";
}

struct PapagoTranslatorTest : ::testing::Test {
    CannedHttp http;
    IconvCodePages codePages;
    std::int64_t nowMs = 1000;
    PapagoTranslator translator{http, codePages, [this] { return nowMs; }};
    PapagoSettings settings;

    PapagoTranslatorTest()
    {
        settings.keyId = "client-id";
        translator.Configure(settings, "client-secret");
    }
};

TEST_F(PapagoTranslatorTest, ALineGoesAsTheJsonBodyWithTheClientIdAndSecretAndTheAnswerIsItsResult)
{
    http.Answer(200, Answer("\xEC\x95\x88\xEB\x85\x95"));  // 안녕
    EXPECT_EQ(translator.Translate(u"こんにちは"), (Translation{u"안녕", {}, false}));
    const HttpRequest& sent = http.Last();
    EXPECT_EQ(sent.url, "https://papago.apigw.ntruss.com/nmt/v1/translation");
    EXPECT_EQ(sent.headers,
              (Headers{{"X-NCP-APIGW-API-KEY-ID", "client-id"}, {"X-NCP-APIGW-API-KEY", "client-secret"}}));
    EXPECT_EQ(sent.body, "{\"source\":\"ja\",\"target\":\"ko\",\"text\":\"\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1"
                         "\xE3\x81\xAF\"}");

    // Honorific Korean is asked for, and an answer kept without it is not taken.
    settings.honorific = 1;
    settings.timeoutSeconds = 9;
    translator.Configure(settings, "client-secret");
    http.Answer(200, Answer("\xEC\x95\x88\xEB\x85\x95\xED\x95\x98\xEC\x84\xB8\xEC\x9A\x94"));  // 안녕하세요
    EXPECT_EQ(translator.Translate(u"こんにちは").shown, u"안녕하세요");
    EXPECT_EQ(http.requests.size(), 2u);
    EXPECT_NE(http.Last().body.find(",\"honorific\":true}"), std::string::npos) << http.Last().body;
    EXPECT_EQ(http.Last().timeoutSeconds, 9);
    EXPECT_EQ(translator.WaitLimit(), std::chrono::seconds(9));
}

TEST_F(PapagoTranslatorTest, AnErrorAnswerNamesTheServicesCodeMessageAndDetails)
{
    http.Answer(401, R"({"error":{"errorCode":"200","message":"Authentication Failed","details":"Invalid authentication information."}})");
    EXPECT_EQ(translator.Translate(u"ゲームの行"),
              (Translation{u"ゲームの行",
                           u"Papago: HTTP 401 (the server says: 200: Authentication Failed - Invalid authentication information.)",
                           true}));
    nowMs += kServerNoticeGapMs;
    http.Answer(400, R"({"error":{"errorCode":"N2MT05","message":"target is same as source"}})");
    EXPECT_EQ(translator.Translate(u"次の行").notice, u"Papago: HTTP 400 (the server says: N2MT05: target is same as source)");
    nowMs += kServerNoticeGapMs;
    http.Answer(200, R"({"message":{"result":{}}})");
    EXPECT_EQ(translator.Translate(u"三つ目").notice, u"Papago: the answer's result has no translated text");
}

// The client ID counts as part of the key: neither goes in clear to another computer.
TEST_F(PapagoTranslatorTest, TheClientIdAndSecretAreWithheldFromPlainHttpToAnotherHost)
{
    settings.url = "http://translator.lan/nmt/v1/translation";
    translator.Configure(settings, "client-secret");
    http.Answer(200, Answer("one"));
    EXPECT_EQ(translator.Translate(u"一行目"), (Translation{u"one", u"Papago: the API key is sent only over https or to this computer"}));
    EXPECT_TRUE(http.Last().headers.empty());

    settings.url = "http://127.0.0.1:8080/nmt/v1/translation";
    translator.Configure(settings, "client-secret");
    http.Answer(200, Answer("two"));
    EXPECT_EQ(translator.Translate(u"二行目"), (Translation{u"two", {}}));
    EXPECT_EQ(http.Last().headers.size(), 2u);
}

} // namespace
