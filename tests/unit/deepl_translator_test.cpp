#include "canned_http.h"
#include "platform/posix/iconv_code_pages.h"
#include "translate/deepl_translator.h"

#include <gtest/gtest.h>

using namespace kx;
using kx::test::CannedHttp;
using kx::test::Headers;

namespace {

std::string Answer(const std::string& text)
{
    return R"({"translations":[{"detected_source_language":"JA","text":")" + text + R"("}]})";
}

struct DeepLTranslatorTest : ::testing::Test {
    CannedHttp http;
    IconvCodePages codePages;
    std::int64_t nowMs = 1000;
    DeepLTranslator translator{http, codePages, [this] { return nowMs; }};

    DeepLTranslatorTest() { translator.Configure(DeepLSettings{}, "key:fx"); }
};

TEST_F(DeepLTranslatorTest, ALineGoesAsTheJsonBodyWithTheKeyHeaderAndTheAnswerIsItsText)
{
    DeepLSettings pro;
    pro.url = "https://api.deepl.com/v2/translate";
    pro.timeoutSeconds = 7;
    translator.Configure(pro, "key");
    http.Answer(200, Answer("\xEC\x95\x88\xEB\x85\x95"));  // 안녕
    EXPECT_EQ(translator.Translate(u"こんにちは"), (Translation{u"안녕", {}, false}));
    const HttpRequest& sent = http.Last();
    EXPECT_EQ(sent.url, pro.url);
    EXPECT_EQ(sent.timeoutSeconds, 7);
    EXPECT_EQ(sent.headers, (Headers{{"Authorization", "DeepL-Auth-Key key"}}));
    EXPECT_EQ(sent.bearerToken, "");
    EXPECT_EQ(sent.body, "{\"text\":[\"\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF\"],"
                         "\"source_lang\":\"JA\",\"target_lang\":\"KO\"}");
    EXPECT_EQ(translator.WaitLimit(), std::chrono::seconds(7));
}

TEST_F(DeepLTranslatorTest, TheLastSourceLinesTranslatedWholeGoAsContextUntilTheLogIsCleared)
{
    DeepLSettings two;
    two.contextLines = 2;
    translator.Configure(two, "key:fx");
    http.Answer(200, Answer("one"));
    http.Answer(500, "");
    http.Answer(200, Answer("three"));
    http.Answer(200, Answer("four"));
    http.Answer(200, Answer("five"));
    for (const char16_t* line : {u"一", u"二", u"三", u"四"})
        translator.Translate(line);
    EXPECT_NE(http.Last().body.find(R"("context":"一\n三")"), std::string::npos) << http.Last().body;
    translator.ForgetContext();
    translator.Translate(u"五");
    EXPECT_EQ(http.Last().body.find("context"), std::string::npos) << http.Last().body;
}

// Quota, key or request: the service's own words and what the status means.
TEST_F(DeepLTranslatorTest, AnErrorAnswerShowsTheLineUntranslatedWithTheServicesMessageOncePerTenSeconds)
{
    http.Answer(456, R"({"message":"Quota exceeded"})");
    EXPECT_EQ(translator.Translate(u"ゲームの行"),
              (Translation{u"ゲームの行", u"DeepL: HTTP 456: the character quota is used up (the server says: Quota exceeded)",
                           true}));
    nowMs += kServerNoticeGapMs - 1;
    EXPECT_EQ(translator.Translate(u"次の行"), (Translation{u"次の行", {}, true}));
    nowMs += 1;
    http.Answer(400, R"({"message":"Bad request","detail":"Value for 'target_lang' not supported."})");
    EXPECT_EQ(translator.Translate(u"三つ目").notice,
              u"DeepL: HTTP 400 (the server says: Bad request: Value for 'target_lang' not supported.)");
}

TEST_F(DeepLTranslatorTest, AnswersThatShowNothingOrTooMuchAreFailures)
{
    std::string tooLong = "a";
    for (int i = 0; i < 32768; ++i)
        tooLong += "\xF0\x9F\x98\x80";  // 65,537 units: the bound falls on a pair's first half
    const struct {
        HttpResponse response;
        const char16_t* notice;
        std::size_t shownUnits;  // the line untranslated, or the answer cut at the bound
    } cases[] = {
        {{true, 200, Answer(" \\n "), {}}, u"DeepL: the answer's text is empty", 3},
        {{true, 200, "<html>", {}}, u"DeepL: the answer is not a JSON object", 3},
        {{true, 200, R"({"translations":[]})", {}}, u"DeepL: the answer has no translations", 3},
        {{true, 307, "", {}}, u"DeepL: HTTP 307: redirects are not followed", 3},
        {{true, 200, Answer(tooLong), {}}, u"DeepL: the answer was cut off: longer than 65,536 characters", 65535},
    };
    for (const auto& c : cases) {
        nowMs += kServerNoticeGapMs;
        http.responses.push_back(c.response);
        const Translation got = translator.Translate(u"行です");
        EXPECT_EQ(got.notice, c.notice);
        EXPECT_EQ(got.shown.size(), c.shownUnits);
        EXPECT_TRUE(got.failed);
    }
    // None of them was kept: the line is asked again.
    translator.Translate(u"行です");
    EXPECT_EQ(http.requests.size(), std::size(cases) + 1);
}

// Over plain http to another computer the key stays home; the log says so
// once, and the reason of a failure again.
TEST_F(DeepLTranslatorTest, TheKeyIsWithheldFromPlainHttpToAnotherHost)
{
    DeepLSettings lan;
    lan.url = "http://translator.lan:8080/v2/translate";
    translator.Configure(lan, "key:fx");
    http.Answer(200, Answer("one"));
    EXPECT_EQ(translator.Translate(u"一行目").notice, u"DeepL: the API key is sent only over https or to this computer");
    http.Answer(403, "");
    EXPECT_EQ(translator.Translate(u"二行目").notice,
              u"DeepL: HTTP 403: the API key was not accepted (the API key is sent only over https or to this computer)");
    for (const HttpRequest& sent : http.requests)
        EXPECT_TRUE(sent.headers.empty());
}

TEST_F(DeepLTranslatorTest, AnswersAreKeptUntilTheSettingsOrTheKeyChange)
{
    DeepLSettings noContext;
    noContext.contextLines = 0;
    translator.Configure(noContext, "key:fx");
    http.Answer(200, Answer("one"));
    EXPECT_EQ(translator.Translate(u"同じ行").shown, u"one");
    translator.Configure(noContext, "key:fx");  // the same: kept
    EXPECT_EQ(translator.Translate(u"同じ行").shown, u"one");
    EXPECT_EQ(http.requests.size(), 1u);
    translator.Configure(noContext, "other:fx");
    http.Answer(200, Answer("two"));
    EXPECT_EQ(translator.Translate(u"同じ行").shown, u"two");
    EXPECT_EQ(http.requests.size(), 2u);
}

TEST_F(DeepLTranslatorTest, ShortPiecesAreHeldForTheNextText)
{
    http.Answer(200, Answer("X"));
    EXPECT_EQ(translator.Translate(u"a"), Translation{});
    EXPECT_TRUE(http.requests.empty());
    EXPECT_EQ(translator.Translate(u"あ").shown, u"X");
    EXPECT_NE(http.Last().body.find("\"text\":[\"a\\r\\n\xE3\x81\x82\"]"), std::string::npos) << http.Last().body;
    translator.Abort();
    EXPECT_EQ(http.cancels, 1);
}

TEST_F(DeepLTranslatorTest, AnErrorWhileAskingLosesNeitherTheTextNorThePiecesHeldBeforeIt)
{
    http.throwOnPost = true;
    translator.Translate(u"a");
    try {
        translator.Translate(u"あ");
        ADD_FAILURE() << "no TranslationFailure";
    } catch (const TranslationFailure& failure) {
        EXPECT_EQ(failure.untranslated, u"a\r\nあ");
        EXPECT_STREQ(failure.what(), "out of memory");
    }
}

} // namespace
