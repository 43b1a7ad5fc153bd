#include "translate/chat_completions.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <vector>

using namespace kx;

namespace {

TEST(ChatRequest, PromptAndTextAsMessagesModelOnlyWhenSet)
{
    ServerSettings settings;
    EXPECT_EQ(BuildChatRequest(settings, u"こんにちは"),
              "{\"max_tokens\":512,\"messages\":[{\"content\":\"Translate the user's Japanese game text into natural Korean. Reply with "
              "the translation only.\",\"role\":\"system\"},{\"content\":\"\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3"
              "\x81\xA1\xE3\x81\xAF\",\"role\":\"user\"}],\"stream\":true,\"temperature\":0}");
    settings.model = "qwen2.5:7b";
    settings.prompt = u"P";
    settings.stream = 0;
    settings.maxTokens = 16;
    EXPECT_EQ(BuildChatRequest(settings, u"x"),
              "{\"max_tokens\":16,\"messages\":[{\"content\":\"P\",\"role\":\"system\"},{\"content\":\"x\",\"role\":"
              "\"user\"}],\"model\":\"qwen2.5:7b\",\"stream\":false,\"temperature\":0}");
}

// The messages of a request, as (role, content) pairs.
std::vector<std::pair<std::string, std::string>> Messages(const std::string& body)
{
    std::vector<std::pair<std::string, std::string>> out;
    const nlohmann::json request = nlohmann::json::parse(body);
    for (const auto& m : request["messages"])
        out.emplace_back(m["role"], m["content"]);
    return out;
}

TEST(ChatRequest, EarlierLinesGoInTheSystemMessageOrAsEarlierMessagesWithTheirTranslations)
{
    ServerSettings settings;
    settings.prompt = u"P";
    settings.contextLines = 2;
    const std::vector<ContextLine> context{{u"l1", u"t1"}, {u"l2", u"t2"}, {u"l3", u"t3"}};
    using M = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(Messages(BuildChatRequest(settings, u"now", context)),
              (M{{"system", "P\n\nPrevious lines, for context only:\nl2\nl3"}, {"user", "now"}}));
    settings.contextTranslations = 1;
    EXPECT_EQ(Messages(BuildChatRequest(settings, u"now", context)),
              (M{{"system", "P"}, {"user", "l2"}, {"assistant", "t2"}, {"user", "l3"}, {"assistant", "t3"}, {"user", "now"}}));
    settings.contextLines = 0;
    EXPECT_EQ(Messages(BuildChatRequest(settings, u"now", context)), (M{{"system", "P"}, {"user", "now"}}));
}

TEST(ChatRequest, OnlyTheGlossaryTermsInTheLineOrItsContextFollowThePrompt)
{
    ServerSettings settings;
    settings.prompt = u"P";
    settings.contextLines = 1;
    settings.glossary = {{u"アリス", u"앨리스"}, {u"魔王", u"마왕"}, {u"剣", u"검"}};
    const std::vector<ContextLine> context{{u"魔王が来た", u""}, {u"雨", u""}};
    const auto system = [&](std::u16string_view line, std::span<const ContextLine> lines) {
        return Messages(BuildChatRequest(settings, line, lines))[0].second;
    };
    EXPECT_EQ(system(u"今日は", {}), "P");
    EXPECT_EQ(system(u"剣とアリス", {}), "P\n\nUse these translations:\nアリス → 앨리스\n剣 → 검");
    // Only the lines that go along count: the first is beyond ContextLines.
    EXPECT_EQ(system(u"晴れ", context), "P\n\nPrevious lines, for context only:\n雨");
    EXPECT_EQ(system(u"晴れ", std::span(context).first(1)),
              "P\n\nUse these translations:\n魔王 → 마왕\n\nPrevious lines, for context only:\n魔王が来た");
}

TEST(ChatAnswer, AReasoningBlockAtTheStartIsNotShown)
{
    EXPECT_EQ(WithoutReasoning(u"<think>\nhmm</think>\n\n안녕"), u"안녕");
    EXPECT_EQ(WithoutReasoning(u" <think>unclosed"), u"");
    EXPECT_EQ(WithoutReasoning(u"안녕 <think>x</think>"), u"안녕 <think>x</think>");  // not at the start: kept
    EXPECT_EQ(WithoutReasoning(u"<thi"), u"<thi");                   // a whole answer is what it is
    EXPECT_EQ(WithoutReasoning(u"<thi", true), u"");                 // growing: may become the tag
    EXPECT_EQ(WithoutReasoning(u"<think>a</think>안", true), u"안");
    EXPECT_EQ(WithoutReasoning(u"<b>굵게</b>", true), u"<b>굵게</b>");
}

// Each piece is looked at once; the tags may be cut anywhere.
TEST(ChatAnswer, TheReasoningFilterShowsInPiecesWhatTheWholeAnswerShows)
{
    const struct {
        std::u16string answer, growing, whole;
    } cases[] = {
        {u"  <think>\nhmm </think </thin</think>\n\n안녕 ", u"안녕 ", u"안녕"},
        {u"<thi", u"", u"<thi"},
        {u"<b>굵게</b>", u"<b>굵게</b>", u"<b>굵게</b>"},
        {u"<think>a</thin", u"", u""},
    };
    for (const auto& c : cases)
        for (std::size_t cut = 1; cut <= c.answer.size(); ++cut) {
            ReasoningFilter filter;
            for (std::size_t at = 0; at < c.answer.size(); at += cut)
                filter.Append(std::u16string_view(c.answer).substr(at, cut));
            EXPECT_EQ(filter.Shown(), c.growing) << cut;
            EXPECT_EQ(filter.Final(), c.whole) << cut;
        }
}

TEST(ChatRequest, EveryCharacterIsEscapedOrCarriedAsUtf8)
{
    ServerSettings settings;
    settings.prompt = u"";
    const std::string body = BuildChatRequest(settings, u"\"\\\n\t\x01\u2665\U0001F600\xD800!");
    EXPECT_NE(body.find("\"\\\"\\\\\\n\\t\\u0001\xE2\x99\xA5\xF0\x9F\x98\x80\xEF\xBF\xBD!\""), std::string::npos)
        << body;
    // What was sent reads back as the same text (the lone surrogate as U+FFFD).
    const std::string userContent = "\"role\":\"system\"},{\"content\":";
    const std::size_t from = body.find(userContent) + userContent.size();
    const std::size_t to = body.find(",\"role\":\"user\"");
    const ChatAnswer back =
        ParseChatAnswer("{\"choices\":[{\"message\":{\"content\":" + body.substr(from, to - from) + "}}]}");
    EXPECT_EQ(back.translation, u"\"\\\n\t\x01\u2665\U0001F600\uFFFD!");
}

TEST(ChatAnswer, TheFirstChoicesTextTrimmed)
{
    const ChatAnswer ok = ParseChatAnswer(
        R"({"id":"x","choices":[{"index":0,"message":{"role":"assistant","content":"  안녕하세요\n"}},)"
        R"({"message":{"content":"second"}}],"usage":{}})");
    EXPECT_EQ(ok.translation, u"안녕하세요");
    EXPECT_TRUE(ok.failure.empty());
    EXPECT_EQ(ParseChatAnswer(R"({"choices":[{"message":{"content":"\u3000"}}]})").translation, u"");
}

TEST(ChatAnswer, MalformedAnswersGiveTheirReason)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "the answer is not JSON"},
        {"<html>502 Bad Gateway</html>", "the answer is not JSON"},
        {"{\"choices\":[", "the answer is not JSON"},
        {"[1,2]", "the answer is not a JSON object"},
        {"\"text\"", "the answer is not a JSON object"},
        {R"({"error":{"message":"model not found"}})", "the server says: model not found"},
        {R"({"error":"overloaded"})", "the server answers with an error"},
        {R"({})", "the answer has no choices"},
        {R"({"choices":[]})", "the answer has no choices"},
        {R"({"choices":{"0":1}})", "the answer has no choices"},
        {R"({"choices":[7]})", "the answer has no message"},
        {R"({"choices":[{"text":"completion style"}]})", "the answer has no message"},
        {R"({"choices":[{"message":{"content":null}}]})", "the answer's message has no text"},
        {R"({"choices":[{"message":{"content":["a"]}}]})", "the answer's message has no text"},
    };
    for (const auto& [body, reason] : cases) {
        const ChatAnswer answer = ParseChatAnswer(body);
        EXPECT_EQ(answer.translation, std::nullopt) << body;
        EXPECT_EQ(answer.failure, reason) << body;
    }
}

} // namespace
