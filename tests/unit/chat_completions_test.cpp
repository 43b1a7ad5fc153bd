#include "translate/chat_completions.h"

#include <gtest/gtest.h>

using namespace kx;

namespace {

TEST(ChatRequest, PromptAndTextAsMessagesModelOnlyWhenSet)
{
    ServerSettings settings;
    EXPECT_EQ(BuildChatRequest(settings, u"こんにちは"),
              "{\"messages\":[{\"content\":\"Translate the user's Japanese game text into natural Korean. Reply with "
              "the translation only.\",\"role\":\"system\"},{\"content\":\"\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3"
              "\x81\xA1\xE3\x81\xAF\",\"role\":\"user\"}],\"stream\":false,\"temperature\":0}");
    settings.model = "qwen2.5:7b";
    settings.prompt = u"P";
    EXPECT_EQ(BuildChatRequest(settings, u"x"),
              "{\"messages\":[{\"content\":\"P\",\"role\":\"system\"},{\"content\":\"x\",\"role\":\"user\"}],"
              "\"model\":\"qwen2.5:7b\",\"stream\":false,\"temperature\":0}");
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
