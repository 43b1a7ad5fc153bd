#include "capture/text_decoding.h"
#include "common/app_error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kx;

namespace {

struct HexCase {
    const char* name;
    std::string input;
    std::optional<std::string> sequential;  // nullopt: dropped
};

class HexDecoding : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexDecoding, SequentialGivesExpectedBytes)
{
    EXPECT_EQ(DecodeSeqHex(GetParam().input), GetParam().sequential);
}

TEST_P(HexDecoding, ReverseSwapsEveryPair)
{
    std::optional<std::string> expected = GetParam().sequential;
    if (expected)
        for (std::size_t i = 0; i + 1 < expected->size(); i += 2)
            std::swap((*expected)[i], (*expected)[i + 1]);
    EXPECT_EQ(DecodeRevHex(GetParam().input), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, HexDecoding,
    ::testing::Values(
        HexCase{"TwoGroups", "82A0 82A2 ", std::string("\x82\xA0\x82\xA2")},
        HexCase{"LowerCaseDigits", "82a0 ", std::string("\x82\xA0")},
        HexCase{"LineBreakBetweenGroups", "82A0 \r\n82A2 ", std::string("\x82\xA0\x82\xA2")},
        HexCase{"LineBreakInsideGroup", "82\r\nA0 ", std::string("\x82\xA0")},
        HexCase{"NoSpaceAfterGroup", "82A0\r\n82A2 ", std::nullopt},
        HexCase{"NoFinalSpace", "82A0 82A2", std::nullopt},
        HexCase{"NonSpaceInFifthPlace", "82A0x", std::nullopt},
        HexCase{"ShortPiecesSkipped", "12 4 5678 ", std::string("\x56\x78")},
        HexCase{"OnlyLineBreaks", "\r\n\r\n", std::string()},
        HexCase{"Empty", "", std::string()},
        HexCase{"ZeroBytesKept", "0000 ", std::string("\0\0", 2)},
        // A CR that is not followed by LF stays and breaks the format.
        HexCase{"LoneCarriageReturn", "\r82A0 ", std::nullopt},
        // Removing "\r\n" does not look again at what closes up.
        HexCase{"NoSecondPassOverBreaks", "\r\r\n\n82A0 ", std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(HexDecodingErrors, BadPairRaisesConversionErrorNamingThePair)
{
    try {
        (void)DecodeSeqHex("82G0 ");
        FAIL() << "no error raised";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "'$G0' is not a valid integer value");
    }
    // The first bad pair decides, also when an earlier group was fine.
    EXPECT_THROW(
        {
            try {
                (void)DecodeRevHex("4142 zz00 ");
            } catch (const AppError& e) {
                EXPECT_STREQ(e.what(), "'$zz' is not a valid integer value");
                throw;
            }
        },
        AppError);
    // A sign is not a hex digit, and neither is a blank outside the group format.
    EXPECT_THROW((void)DecodeSeqHex("-100 "), AppError);
    EXPECT_THROW((void)DecodeSeqHex("\t100 "), AppError);
}

TEST(HexDecodingErrors, FormatIsCheckedBeforePairs)
{
    // Dropped silently even though its pairs are not hexadecimal.
    EXPECT_EQ(DecodeSeqHex("GGGG GG"), std::nullopt);
}

TEST(AsciiDecoding, RemovesOnlyDoubleLineBreaks)
{
    EXPECT_EQ(DecodeAscii("abc\r\n\r\ndef"), "abcdef");
    EXPECT_EQ(DecodeAscii("abc\r\ndef"), "abc\r\ndef");
    EXPECT_EQ(DecodeAscii("a\r\n\r\n\r\nb"), "a\r\nb");
    EXPECT_EQ(DecodeAscii("\r\n\r\n\r\n\r\n"), "");
    EXPECT_EQ(DecodeAscii(""), "");
    EXPECT_EQ(DecodeAscii("\r\r\n\r\n\n"), "\r\n");
}

TEST(AsciiDecoding, DoubleByteTrailBytesAreNotLineBreaks)
{
    AnsiLeadBytes lead;
    lead.isLead[0x81] = true;
    // 0x81 0x0D is one double-byte character: the break search starts behind it.
    const std::string text = std::string("\x81\r\n\r\n\r", 5) + "x";
    EXPECT_EQ(DecodeAscii(text, lead), text);
    // Without lead bytes the same bytes hold a removable "\r\n\r\n".
    EXPECT_EQ(DecodeAscii(text), "\x81x");
}

TEST(DecodeByMethodDispatch, SelectsDecoderOrDropsUnknownMethods)
{
    EXPECT_EQ(DecodeByMethod(Ascii, "82A0 "), "82A0 ");
    EXPECT_EQ(DecodeByMethod(HexSequential, "82A0 "), std::string("\x82\xA0"));
    EXPECT_EQ(DecodeByMethod(HexReverse, "82A0 "), std::string("\xA0\x82"));
    EXPECT_EQ(DecodeByMethod(0, "text"), std::nullopt);
    EXPECT_EQ(DecodeByMethod(4, "text"), std::nullopt);
}

TEST(SeperateStrSplitting, KeepsEmptyPiecesAndAppends)
{
    std::vector<std::string> list{"kept"};
    SeperateStr("a,,b,", ',', list);
    EXPECT_EQ(list, (std::vector<std::string>{"kept", "a", "", "b", ""}));

    std::vector<std::string> single;
    SeperateStr("", ',', single);
    EXPECT_EQ(single, std::vector<std::string>{""});
    SeperateStr("whole", ',', single);
    EXPECT_EQ(single, (std::vector<std::string>{"", "whole"}));
}

TEST(HexDecodingScale, LargeTextDecodesCompletely)
{
    std::string text;
    const std::size_t groups = 1 << 20;  // 5 MB of hex text
    text.reserve(groups * 7);
    for (std::size_t i = 0; i < groups; ++i) {
        text += "8";
        text += "2A";
        text += (i % 2 ? "0 " : "2 ");
        if (i % 100 == 0)
            text += "\r\n";
    }
    const auto bytes = DecodeSeqHex(text);
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), groups * 2);
    EXPECT_EQ(bytes->substr(0, 4), "\x82\xA2\x82\xA0");
}

} // namespace
