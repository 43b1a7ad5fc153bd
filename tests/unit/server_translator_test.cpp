#include "platform/posix/iconv_code_pages.h"
#include "translate/server_translator.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

using namespace kx;

namespace {

// Answers each Post with the next canned response and keeps the requests.
class FakeHttp : public HttpPort {
public:
    HttpResponse Post(const HttpRequest& request) override
    {
        requests.push_back(request);
        if (responses.empty())
            return {false, 0, {}, "cannot connect to 127.0.0.1:8080"};
        HttpResponse next = responses.front();
        responses.pop_front();
        return next;
    }
    void Cancel() override { ++cancels; }

    void Answer(const std::string& content)
    {
        responses.push_back({true, 200, R"({"choices":[{"message":{"role":"assistant","content":")" + content + R"("}}]})", {}});
    }

    std::vector<HttpRequest> requests;
    std::deque<HttpResponse> responses;
    int cancels = 0;
};

struct ServerTranslatorTest : ::testing::Test {
    FakeHttp http;
    IconvCodePages codePages;
    std::int64_t nowMs = 1000;
    ServerTranslator translator{http, codePages, [this] { return nowMs; }};

    ServerTranslatorTest() { translator.Configure(ServerSettings{}, ""); }

    // Translates and returns what the log view shows of it and the notice.
    std::pair<std::u16string, std::u16string> Translate(const std::u16string& text)
    {
        Translation translation = translator.Translate(text);
        return {translation.shown, translation.notice};
    }
};

TEST_F(ServerTranslatorTest, TheAnswerIsShownWholeAndTheRequestCarriesTheSettings)
{
    ServerSettings settings;
    settings.url = "https://10.0.0.2:11434/v1/chat/completions";
    settings.model = "m";
    settings.timeoutSeconds = 7;
    translator.Configure(settings, "sk-1");
    http.Answer("  \xEC\x95\x88\xEB\x85\x95  ");  // 안녕 with blanks around it
    EXPECT_EQ(Translate(u"こんにちは"), std::make_pair(std::u16string(u"안녕"), std::u16string()));
    ASSERT_EQ(http.requests.size(), 1u);
    EXPECT_EQ(http.requests[0].url, settings.url);
    EXPECT_EQ(http.requests[0].bearerToken, "sk-1");
    EXPECT_EQ(http.requests[0].timeoutSeconds, 7);
    EXPECT_NE(http.requests[0].body.find("\"model\":\"m\""), std::string::npos);
}

TEST_F(ServerTranslatorTest, ShortPiecesAreHeldForTheNextTextAsWithTheFirstEngine)
{
    http.Answer("X");
    EXPECT_EQ(Translate(u"a").first, u"");  // one byte: held, no request
    EXPECT_EQ(Translate(u"").first, u"");
    EXPECT_TRUE(http.requests.empty());
    EXPECT_EQ(Translate(u"あ").first, u"X");  // two bytes: sent, with the held piece before it
    ASSERT_EQ(http.requests.size(), 1u);
    EXPECT_NE(http.requests[0].body.find("\"content\":\"a\\r\\n\xE3\x81\x82\""), std::string::npos)
        << http.requests[0].body;
}

TEST_F(ServerTranslatorTest, AnswersAreKeptUntilTheServerSettingsChange)
{
    http.Answer("one");
    EXPECT_EQ(Translate(u"同じ行").first, u"one");
    EXPECT_EQ(Translate(u"同じ行").first, u"one");
    EXPECT_EQ(http.requests.size(), 1u);
    translator.Configure(ServerSettings{}, "");  // the same: kept
    EXPECT_EQ(Translate(u"同じ行").first, u"one");
    EXPECT_EQ(http.requests.size(), 1u);
    ServerSettings other;
    other.prompt = u"Into English.";
    translator.Configure(other, "");
    http.Answer("two");
    EXPECT_EQ(Translate(u"同じ行").first, u"two");
    EXPECT_EQ(http.requests.size(), 2u);
}

TEST_F(ServerTranslatorTest, AFailureShowsTheTextUntranslatedWithOneNoticePerTenSeconds)
{
    EXPECT_EQ(Translate(u"ゲームの行"),
              std::make_pair(std::u16string(u"ゲームの行"), std::u16string(u"Translation server: cannot connect to 127.0.0.1:8080")));
    nowMs += 9999;
    EXPECT_EQ(Translate(u"次の行"), std::make_pair(std::u16string(u"次の行"), std::u16string()));
    nowMs += 1;
    http.responses.push_back({true, 500, "oops", {}});
    EXPECT_EQ(Translate(u"三つ目").second, u"Translation server: HTTP 500");
    // Failures are not kept: the same text is asked again.
    http.Answer("ok");
    EXPECT_EQ(Translate(u"三つ目").first, u"ok");
    EXPECT_EQ(http.requests.size(), 4u);
}

TEST_F(ServerTranslatorTest, EveryKindOfBadAnswerHasItsReason)
{
    const struct {
        HttpResponse response;
        const char16_t* reason;
    } cases[] = {
        {{true, 404, R"({"error":{"message":"model 'x' not found"}})", {}},
         u"HTTP 404 (the server says: model 'x' not found)"},
        {{true, 200, "<html>", {}}, u"the answer is not JSON"},
        {{true, 200, R"({"choices":[]})", {}}, u"the answer has no choices"},
        {{true, 200, R"({"choices":[{"message":{"content":"  "}}]})", {}}, u"the answer's text is empty"},
        {{false, 0, {}, "no answer within 30 s"}, u"no answer within 30 s"},
        {{false, 0, {}, std::string(300, 'e') + "\r\nsecond line"}, nullptr},
    };
    for (const auto& c : cases) {
        nowMs += kServerNoticeGapMs;
        http.responses.push_back(c.response);
        const auto [shown, notice] = Translate(u"行です");
        EXPECT_EQ(shown, u"行です");
        if (c.reason) {
            EXPECT_EQ(notice, kServerNoticePrefix + std::u16string(c.reason));
        } else {  // a long reason is cut to one line
            EXPECT_EQ(notice.find(u'\n'), std::u16string::npos);
            EXPECT_LT(notice.size(), 230u);
        }
    }
}

// Over plain http to another computer the key stays home: the request goes
// without it, the log says so once, and a failure names the reason.
TEST_F(ServerTranslatorTest, TheKeyIsWithheldFromPlainHttpToAnotherHostAndTheLogSaysSoOnce)
{
    ServerSettings lan;
    lan.url = "http://192.168.1.20:8080/v1/chat/completions";
    translator.Configure(lan, "sk-1");
    const std::u16string told = u"Translation server: the API key is sent only over https or to this computer";
    http.Answer("one");
    EXPECT_EQ(Translate(u"一行目"), std::make_pair(std::u16string(u"one"), told));
    http.responses.push_back({true, 401, "{}", {}});
    EXPECT_EQ(Translate(u"二行目").second,
              u"Translation server: HTTP 401 (the API key is sent only over https or to this computer)");
    ASSERT_EQ(http.requests.size(), 2u);
    EXPECT_EQ(http.requests[0].bearerToken, "");
    EXPECT_EQ(http.requests[1].bearerToken, "");

    ServerSettings local;
    local.url = "http://localhost:8080/v1/chat/completions";
    translator.Configure(local, "sk-1");
    http.Answer("three");
    EXPECT_EQ(Translate(u"三行目"), std::make_pair(std::u16string(u"three"), std::u16string()));
    EXPECT_EQ(http.requests.back().bearerToken, "sk-1");
}

// A redirect is not followed: the answer's status is the reason.
TEST_F(ServerTranslatorTest, ARedirectIsAFailureWithItsStatus)
{
    http.responses.push_back({true, 307, "", {}});
    EXPECT_EQ(Translate(u"行です"), std::make_pair(std::u16string(u"行です"),
                                                std::u16string(u"Translation server: HTTP 307: redirects are not followed")));
}

TEST_F(ServerTranslatorTest, AbortCancelsTheHttpExchange)
{
    translator.Abort();
    EXPECT_EQ(http.cancels, 1);
}

} // namespace
