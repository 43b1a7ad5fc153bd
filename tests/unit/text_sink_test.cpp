#include "capture/text_sink.h"
#include "fake_log_view.h"
#include "platform/posix/iconv_code_pages.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kx;
using kx::testing::FakeLogView;

namespace {

// Answers every text with "[" + text and the adapter's closing "\r\n".
class EchoTranslator : public Translator {
public:
    void TranslateWide(const char16_t* text, int length) override
    {
        received.emplace_back(text, static_cast<std::size_t>(length));
        result = answerNothing ? u"" : u"[" + received.back() + u"\r\n";
    }
    std::u16string_view Result() const override { return result; }
    void StopTransEngine() override { ++stops; }

    std::vector<std::u16string> received;
    std::u16string result;
    bool answerNothing = false;
    int stops = 0;
};

struct SinkFixture : ::testing::Test {
    AppSettings settings;
    IconvCodePages codePages;
    FakeLogView view;
    EchoTranslator translator;
    bool translationOn = true;
    CaptureSink sink{settings, codePages, view, translator, [this] { return translationOn; }};
};

TEST_F(SinkFixture, DirectPathConvertsWithCharacterSet)
{
    translationOn = false;
    sink.TextSink("\x82\xA0\x82\xA2");
    EXPECT_EQ(view.text, u"あい\r\n");
    EXPECT_TRUE(translator.received.empty());
    EXPECT_EQ(translator.stops, 0);
}

TEST_F(SinkFixture, DirectPathIgnoresFloodAndEmptyText)
{
    translationOn = false;
    settings.Flood = 2;
    sink.TextSink("");
    EXPECT_EQ(view.text, u"");
    sink.TextSink("abcdef");
    EXPECT_EQ(view.text, u"abcdef\r\n");
}

TEST_F(SinkFixture, TranslationDropsClosingBreakAndTranslatedFullStop)
{
    sink.TextSink("abc");
    ASSERT_EQ(translator.received, std::vector<std::u16string>{u"abc."});
    // "[abc.\r\n" minus its last three units.
    EXPECT_EQ(view.text, u"[abc\r\n");
    EXPECT_EQ(translator.stops, 1);
}

TEST_F(SinkFixture, FloodHeadGoesToLogUntranslated)
{
    const std::string text(200, 'x');
    sink.TextSink(text);
    ASSERT_EQ(translator.received.size(), 1u);
    EXPECT_EQ(translator.received[0], std::u16string(149, u'x') + u".");
    EXPECT_EQ(view.text, std::u16string(51, u'x') + u"\r\n[" + std::u16string(149, u'x') + u"\r\n");
}

TEST_F(SinkFixture, TextAtLimitIsNotTrimmed)
{
    sink.TextSink(std::string(149, 'y'));
    ASSERT_EQ(translator.received.size(), 1u);
    EXPECT_EQ(translator.received[0].size(), 150u);
}

TEST_F(SinkFixture, ZeroOrNegativeLimitSendsNothingTranslatable)
{
    for (int limit : {0, -5}) {
        view.text.clear();
        translator.received.clear();
        settings.Flood = limit;
        sink.TextSink("ab");
        EXPECT_EQ(view.text, u"ab.\r\n") << limit;
        ASSERT_EQ(translator.received.size(), 1u);
        EXPECT_EQ(translator.received[0], u"") << limit;
    }
}

TEST_F(SinkFixture, FloodTrimmingOnlyWhenExactlyOne)
{
    settings.FloodChk = 2;
    settings.Flood = 1;
    sink.TextSink("abcd");
    ASSERT_EQ(translator.received.size(), 1u);
    EXPECT_EQ(translator.received[0], u"abcd.");
}

TEST_F(SinkFixture, EmptyAnswerAppendsNothingButStillStops)
{
    translator.answerNothing = true;
    sink.TextSink("");
    EXPECT_EQ(translator.received, std::vector<std::u16string>{u"."});
    EXPECT_EQ(view.text, u"");
    EXPECT_EQ(translator.stops, 1);
}

TEST_F(SinkFixture, ReplaceModeWithFloodEndsWithTranslationOnly)
{
    settings.uot = 1;
    settings.Flood = 3;
    sink.TextSink("abcdef");
    EXPECT_EQ(view.text, u"[ef");
    EXPECT_EQ(view.replacements, 2);
}

TEST_F(SinkFixture, WrongCharacterSetGarblesWithoutError)
{
    translationOn = false;
    settings.Codepage = 949;
    EXPECT_NO_THROW(sink.TextSink("\x82\xA0\x82\xA2"));
    EXPECT_NE(view.text, u"あい\r\n");
    EXPECT_FALSE(view.text.empty());
}

} // namespace
