#include "platform/posix/iconv_code_pages.h"
#include "translate/server_translator.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

using namespace kx;

namespace {

// One event of a streamed answer.
std::string Event(const std::string& content)
{
    return "data: {\"choices\":[{\"delta\":{\"content\":\"" + content + "\"}}]}\n\n";
}

// Answers each Post with the next canned response and keeps the requests.
class FakeHttp : public HttpPort {
public:
    HttpResponse Post(const HttpRequest& request) override
    {
        requests.push_back(request);
        if (!endless.empty() && request.onBodyPiece)
            return Endless(request);
        if (responses.empty())
            return {false, 0, {}, "cannot connect to 127.0.0.1:8080"};
        HttpResponse next = responses.front();
        responses.pop_front();
        // A streamed body is handed on in the pieces queued with it, until
        // the caller has had enough.
        std::vector<std::string> cut = pieces.empty() ? std::vector<std::string>{} : pieces.front();
        if (!pieces.empty())
            pieces.pop_front();
        std::string handed;
        if (request.onBodyPiece)
            for (const std::string& piece : cut) {
                ++handedPieces;
                handed += piece;
                if (request.onBodyPiece(piece) == BodyWanted::Enough)
                    return {true, 200, handed, {}};
            }
        return next;
    }
    void Cancel() override { ++cancels; }

    // A sender that never stops: `endless` again and again, each piece
    // `msPerPiece` later on `clock`, for as long as the caller wants more.
    HttpResponse Endless(const HttpRequest& request)
    {
        std::string handed;
        for (int piece = 0; piece < 10000; ++piece) {
            if (clock)
                *clock += msPerPiece;
            ++handedPieces;
            handed += endless;
            if (request.onBodyPiece(endless) == BodyWanted::Enough)
                return {true, 200, handed, {}};
        }
        return {false, 0, {}, "the sender was never stopped"};
    }

    void Answer(const std::string& content)
    {
        responses.push_back({true, 200, R"({"choices":[{"message":{"role":"assistant","content":")" + content + R"("}}]})", {}});
    }

    // A stream of the given pieces of text; `ends` false: the server stops
    // before [DONE] with `failure`.
    void Stream(const std::vector<std::string>& contents, bool ends = true, const std::string& failure = {})
    {
        std::vector<std::string> cut;
        std::string body;
        for (const std::string& content : contents)
            cut.push_back(Event(content));
        if (ends)
            cut.push_back("data: [DONE]\n\n");
        for (const std::string& piece : cut)
            body += piece;
        responses.push_back(failure.empty() ? HttpResponse{true, 200, body, {}} : HttpResponse{false, 0, {}, failure});
        pieces.push_back(cut);
    }

    std::vector<HttpRequest> requests;
    std::deque<HttpResponse> responses;
    std::deque<std::vector<std::string>> pieces;
    int handedPieces = 0;
    std::string endless;
    std::int64_t* clock = nullptr;
    int msPerPiece = 0;
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
    ServerSettings noContext;
    noContext.contextLines = 0;
    translator.Configure(noContext, "");
    http.Answer("one");
    EXPECT_EQ(Translate(u"同じ行").first, u"one");
    EXPECT_EQ(Translate(u"同じ行").first, u"one");
    EXPECT_EQ(http.requests.size(), 1u);
    translator.Configure(noContext, "");  // the same: kept
    EXPECT_EQ(Translate(u"同じ行").first, u"one");
    EXPECT_EQ(http.requests.size(), 1u);
    ServerSettings other = noContext;
    other.prompt = u"Into English.";
    translator.Configure(other, "");
    http.Answer("two");
    EXPECT_EQ(Translate(u"同じ行").first, u"two");
    EXPECT_EQ(http.requests.size(), 2u);
    // "Translate again": asked anew once, and the new answer kept.
    translator.SkipCacheOnce();
    http.Answer("three");
    EXPECT_EQ(Translate(u"同じ行").first, u"three");
    EXPECT_EQ(Translate(u"同じ行").first, u"three");
    EXPECT_EQ(http.requests.size(), 3u);
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

TEST_F(ServerTranslatorTest, AStreamedAnswerIsShownAsItGrowsWithoutItsReasoning)
{
    http.Stream({"<think>", "hmm", "</think>", "\\n\xEC\x95\x88", "\xEB\x85\x95"});
    std::vector<std::u16string> seen;
    const Translation whole = translator.Translate(u"こんにちは", [&](const std::u16string& s) { seen.push_back(s); });
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"안", u"안녕"}));
    EXPECT_EQ(whole, (Translation{u"안녕", {}}));
    EXPECT_NE(http.requests[0].body.find("\"stream\":true"), std::string::npos);

    // Cut off midway: what came is shown, the log says why, and it is no
    // context for the next line.
    nowMs += kServerNoticeGapMs;
    http.Stream({"\xEB\x8B\xA4"}, false, "no answer within 30 s");
    EXPECT_EQ(Translate(u"次の行"), std::make_pair(std::u16string(u"다"),
                                               std::u16string(u"Translation server: the answer was cut off: no answer within 30 s")));
    nowMs += kServerNoticeGapMs;
    http.Stream({"x"}, false);
    EXPECT_EQ(Translate(u"三行目"), std::make_pair(std::u16string(u"x"),
                                               std::u16string(u"Translation server: the answer was cut off: the answer ended before it was complete")));
    http.Answer("y");
    Translate(u"四行目");
    const std::string& body = http.requests.back().body;
    EXPECT_NE(body.find("for context only:\\nこんにちは\""), std::string::npos) << body;
}

// A server that writes [DONE] and keeps the connection open: the answer
// ends there, and it is whole: kept, and context for the next line.
TEST_F(ServerTranslatorTest, AStreamedAnswerEndsAtDoneWhileTheBodyGoesOn)
{
    http.Stream({"one"}, true, "no answer within 30 s");  // the body would end only at the time-out
    http.pieces.back().push_back(Event(" more"));
    EXPECT_EQ(Translate(u"一"), std::make_pair(std::u16string(u"one"), std::u16string()));
    EXPECT_EQ(http.handedPieces, 2);
    http.Answer("two");
    Translate(u"二");
    EXPECT_NE(http.requests[1].body.find("for context only:\\n一\""), std::string::npos) << http.requests[1].body;
    translator.ForgetContext();
    EXPECT_EQ(Translate(u"一").first, u"one");
    EXPECT_EQ(http.requests.size(), 2u);
}

TEST_F(ServerTranslatorTest, AnAnswerThatLostAPieceIsShownButNeitherKeptNorContext)
{
    http.Stream({"a", "\\x", "b"});  // the second is no JSON
    EXPECT_EQ(Translate(u"一"),
              std::make_pair(std::u16string(u"ab"),
                             std::u16string(u"Translation server: the answer is not whole: 1 piece of it could not be read")));
    http.Answer("two");
    Translate(u"二");
    EXPECT_EQ(http.requests[1].body.find("for context only"), std::string::npos) << http.requests[1].body;
    translator.ForgetContext();
    http.Answer("one");
    EXPECT_EQ(Translate(u"一").first, u"one");
    EXPECT_EQ(http.requests.size(), 3u);
}

TEST_F(ServerTranslatorTest, TheTimeOutIsADeadlineForTheWholeAnswerHoweverLongTheServerWrites)
{
    ServerSettings settings;
    settings.timeoutSeconds = 5;
    translator.Configure(settings, "");
    http.endless = Event("ab");
    http.clock = &nowMs;
    http.msPerPiece = 10;
    int told = 0;
    const Translation cut = translator.Translate(u"一", [&](const std::u16string&) { ++told; });
    EXPECT_NEAR(http.handedPieces, 500, 1);  // 5 s of pieces 10 ms apart
    EXPECT_EQ(cut.shown.size(), 2u * static_cast<std::size_t>(http.handedPieces));
    EXPECT_EQ(cut.notice, u"Translation server: the answer was cut off: no answer within 5 s");
    EXPECT_EQ(told, http.handedPieces);
}

// The bound falls on the first half of a pair: the pair goes with the rest.
TEST_F(ServerTranslatorTest, WhatOneAnswerShowsIsBoundedAndTheRequestEndsThere)
{
    std::string content;
    for (int i = 0; i < 300; ++i)
        content += "\xF0\x9F\x98\x80" "a";  // 900 units
    http.endless = Event(content);
    std::u16string told;
    const Translation cut = translator.Translate(u"一", [&](const std::u16string& shown) { told = shown; });
    EXPECT_EQ(http.handedPieces, 73);  // the first piece past 65,536 units
    EXPECT_EQ(cut.shown.size(), 65535u);
    EXPECT_EQ(cut.shown.back(), u'a');
    EXPECT_EQ(told, cut.shown);
    EXPECT_EQ(cut.notice, u"Translation server: the answer was cut off: longer than 65,536 characters");
}

TEST_F(ServerTranslatorTest, TheContextIsTheLinesTranslatedWholeUntilTheLogIsCleared)
{
    http.Answer("one");
    http.responses.push_back({true, 500, "", {}});
    http.Answer("three");
    http.Answer("four");
    Translate(u"一");
    Translate(u"二");  // failed: no context
    Translate(u"三");
    Translate(u"四");
    EXPECT_NE(http.requests[3].body.find("for context only:\\n一\\n三\""), std::string::npos) << http.requests[3].body;
    translator.ForgetContext();
    // The whole request is the key: the first line, again without context, is known.
    EXPECT_EQ(Translate(u"一").first, u"one");
    EXPECT_EQ(http.requests.size(), 4u);
    http.Answer("five");
    EXPECT_EQ(Translate(u"五").first, u"five");
    EXPECT_NE(http.requests[4].body.find("for context only:\\n一\""), std::string::npos) << http.requests[4].body;
}

TEST_F(ServerTranslatorTest, AbortCancelsTheHttpExchange)
{
    translator.Abort();
    EXPECT_EQ(http.cancels, 1);
}

} // namespace
