#include "translate/server_settings_rules.h"
#include "settings/value_encodings.h"

#include <gtest/gtest.h>

#include <utility>
#include <variant>

using namespace kx;

namespace {

TEST(ServerSettingsRulesTest, UrlsWithEitherSchemeInAnyCaseAreTakenTrimmed)
{
    EXPECT_EQ(CheckServerUrl(u"http://127.0.0.1:8080/v1/chat/completions"),
              "http://127.0.0.1:8080/v1/chat/completions");
    EXPECT_EQ(CheckServerUrl(u"https://api.example.com/v1"), "https://api.example.com/v1");
    EXPECT_EQ(CheckServerUrl(u"HTTPS://Host/Path?q=1&r=~"), "HTTPS://Host/Path?q=1&r=~");
    EXPECT_EQ(CheckServerUrl(u"HtTp://h"), "HtTp://h");
    EXPECT_EQ(CheckServerUrl(u"  \t http://h/x \r\n"), "http://h/x");
    EXPECT_EQ(CheckServerUrl(u"\u3000http://h\u00A0"), "http://h");
}

TEST(ServerSettingsRulesTest, UrlsWithoutSchemeOrHostOrWithOtherCharactersAreRefused)
{
    for (const char16_t* url : {
             u"", u"   ", u"http://", u"https://", u"  https://  ", u"http:/h", u"ftp://h", u"127.0.0.1:8080",
             u"httpx://h", u" xhttp://h", u"http://h w",      // a space inside
             u"http://h\tw", u"http://h\x7F", u"http://\x1Fh", // control characters
             u"http://ホスト/", u"http://h/\u00E9", u"ｈttp://h",  // not ASCII (a full-width h)
             u"http://h\xD800",                                // a lone surrogate
         })
        EXPECT_EQ(CheckServerUrl(url), std::nullopt) << std::string(url, url + std::char_traits<char16_t>::length(url));
}

TEST(ServerSettingsRulesTest, TimeOutsAreWholeSecondsWithinTheLimits)
{
    EXPECT_EQ(CheckServerTimeout(u"1"), kMinServerTimeoutSeconds);
    EXPECT_EQ(CheckServerTimeout(u"600"), kMaxServerTimeoutSeconds);
    EXPECT_EQ(CheckServerTimeout(u"30"), 30);
    EXPECT_EQ(CheckServerTimeout(u" 45 "), 45);
    EXPECT_EQ(CheckServerTimeout(u"007"), 7);
    EXPECT_EQ(CheckServerTimeout(u"000000000000000000000600"), 600);
    for (const char16_t* text : {u"", u"  ", u"0", u"000", u"601", u"1000", u"-5", u"+5", u"5s", u"1.5", u"1 0",
                                 u"0x10", u"９", u"99999999999999999999999", u"4294967326"})
        EXPECT_EQ(CheckServerTimeout(text), std::nullopt)
            << std::string(text, text + std::char_traits<char16_t>::length(text));
}

TEST(ServerSettingsRulesTest, ModelNamesArePrintableAsciiTrimmedAndMayBeEmpty)
{
    EXPECT_EQ(CheckServerModel(u""), "");
    EXPECT_EQ(CheckServerModel(u"  \t"), "");
    EXPECT_EQ(CheckServerModel(u" gpt-4o-mini "), "gpt-4o-mini");
    EXPECT_EQ(CheckServerModel(u"org/model:Q4_K_M"), "org/model:Q4_K_M");
    EXPECT_EQ(CheckServerModel(u"my model"), "my model");
    for (const char16_t* model : {u"モデル", u"m\u00E9", u"a\tb", u"a\x7F", u"a\xDC00"})
        EXPECT_EQ(CheckServerModel(model), std::nullopt);
}

ServerFormTexts GoodForm()
{
    return {u" https://h/v1 ", u" m1 ", u"  Translate.\r\n", u"  sk-キー \t", u" 60", u" 5 ", true, false, u"100"};
}

TEST(ServerSettingsRulesTest, AGoodFormGivesTheValuesWithThePromptUntouchedAndTheKeyTrimmedInUtf8)
{
    const auto read = ReadServerForm(GoodForm());
    ASSERT_TRUE(std::holds_alternative<ServerFormValues>(read));
    const ServerFormValues& values = std::get<ServerFormValues>(read);
    EXPECT_EQ(values.server.url, "https://h/v1");
    EXPECT_EQ(values.server.model, "m1");
    EXPECT_EQ(values.server.prompt, u"  Translate.\r\n");
    EXPECT_EQ(values.server.timeoutSeconds, 60);
    EXPECT_EQ(values.server.contextLines, 5);
    EXPECT_EQ(values.server.contextTranslations, 1);
    EXPECT_EQ(values.server.stream, 0);
    EXPECT_EQ(values.server.maxTokens, 100);
    EXPECT_EQ(values.apiKey, "sk-\xE3\x82\xAD\xE3\x83\xBC");

    ServerFormTexts noKey = GoodForm();
    noKey.apiKey = u" \r\n ";
    EXPECT_EQ(std::get<ServerFormValues>(ReadServerForm(noKey)).apiKey, "");
}

TEST(ServerSettingsRulesTest, TheFirstWrongBoxInTheDialogsOrderIsNamedWithItsMessage)
{
    auto problem = [](const ServerFormTexts& texts) {
        const auto read = ReadServerForm(texts);
        EXPECT_TRUE(std::holds_alternative<ServerFormProblem>(read));
        return std::holds_alternative<ServerFormProblem>(read) ? std::get<ServerFormProblem>(read)
                                                               : ServerFormProblem{ServerFormField::Url, ""};
    };
    ServerFormTexts texts = GoodForm();
    texts.maxTokens = u"15";
    EXPECT_EQ(problem(texts).field, ServerFormField::MaxTokens);
    EXPECT_STREQ(problem(texts).message, "Max tokens must be a whole number from 16 to 4096.");
    texts.contextLines = u"21";
    EXPECT_EQ(problem(texts).field, ServerFormField::ContextLines);
    EXPECT_STREQ(problem(texts).message, "Context lines must be a whole number from 0 to 20.");
    texts.timeout = u"0";
    EXPECT_EQ(problem(texts).field, ServerFormField::Timeout);
    EXPECT_STREQ(problem(texts).message, "The time-out must be a whole number of seconds from 1 to 600.");
    texts.model = u"モデル";
    EXPECT_EQ(problem(texts).field, ServerFormField::Model);
    EXPECT_STREQ(problem(texts).message, "The model name must hold only ASCII characters.");
    texts.url = u"localhost:8080";
    EXPECT_EQ(problem(texts).field, ServerFormField::Url);
    EXPECT_STREQ(problem(texts).message,
                 "The URL must begin with http:// or https:// and hold only ASCII characters.");
    texts.url = u"https://a.example@b.example/v1";
    EXPECT_EQ(problem(texts).field, ServerFormField::Url);
    EXPECT_STREQ(problem(texts).message, kServerUrlUserInfoProblem);
}

TEST(ServerSettingsRulesTest, ContextLinesAndMaxTokensTakeTheirWholeRangeAndNothingBeyond)
{
    auto read = [](std::u16string lines, std::u16string tokens) {
        ServerFormTexts texts = GoodForm();
        texts.contextLines = std::move(lines);
        texts.maxTokens = std::move(tokens);
        const auto result = ReadServerForm(texts);
        if (const auto* values = std::get_if<ServerFormValues>(&result))
            return std::pair(values->server.contextLines, values->server.maxTokens);
        return std::pair(-1, -1);
    };
    EXPECT_EQ(read(u"0", u"16"), std::pair(0, 16));
    EXPECT_EQ(read(u"20", u"4096"), std::pair(20, 4096));
    EXPECT_EQ(read(u"020", u" 0512 "), std::pair(20, 512));
    for (const char16_t* bad : {u"", u"21", u"-1", u"3.5", u"99999999999999999999"})
        EXPECT_EQ(read(bad, u"512"), std::pair(-1, -1));
    for (const char16_t* bad : {u"", u"0", u"15", u"4097", u"1e3"})
        EXPECT_EQ(read(u"3", bad), std::pair(-1, -1));
}

TEST(ServerSettingsRulesTest, SwitchesKeepAStoredValueTheBoxLeftAsItWasAndTheGlossaryPassesThrough)
{
    EXPECT_EQ(SwitchFromBox(true, 1), 1);
    EXPECT_EQ(SwitchFromBox(false, 0), 0);
    EXPECT_EQ(SwitchFromBox(false, 7), 7);  // shown off, left off
    EXPECT_EQ(SwitchFromBox(true, 7), 1);
    EXPECT_EQ(SwitchFromBox(false, 1), 0);

    ServerSettings current;
    current.url = "http://old/";
    current.contextTranslations = 2;
    current.stream = 1;
    current.glossary = {{u"ハル", u"Haru"}, {u"先輩", u""}};
    ServerFormTexts texts = GoodForm();
    texts.contextTranslations = false;
    const ServerSettings read = std::get<ServerFormValues>(ReadServerForm(texts, current)).server;
    EXPECT_EQ(read.url, "https://h/v1");
    EXPECT_EQ(read.contextTranslations, 2);
    EXPECT_EQ(read.stream, 0);
    EXPECT_EQ(read.glossary, current.glossary);
}

TEST(ServerSettingsRulesTest, LineFeedsGetCarriageReturnsForTheBoxAndAnUnchangedBoxKeepsTheStoredPrompt)
{
    EXPECT_EQ(WithCrLf(u""), u"");
    EXPECT_EQ(WithCrLf(u"a\nb"), u"a\r\nb");
    EXPECT_EQ(WithCrLf(u"\n\na\r\nb\n"), u"\r\n\r\na\r\nb\r\n");
    EXPECT_EQ(WithCrLf(u"a\rb"), u"a\rb");

    const std::u16string stored = u"One\nTwo\r\nThree";
    EXPECT_EQ(PromptFromBox(u"One\r\nTwo\r\nThree", stored), stored);
    EXPECT_EQ(PromptFromBox(u"One\r\nTwo\r\nThree!", stored), u"One\r\nTwo\r\nThree!");
    EXPECT_EQ(PromptFromBox(u"", stored), u"");
    EXPECT_EQ(PromptFromBox(u"", u""), u"");
}

} // namespace
