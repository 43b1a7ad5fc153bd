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

// The lead bytes of code page 932 (Shift-JIS), the double-byte ANSI code page
// of a Japanese system.
AnsiLeadBytes ShiftJisLeadBytes()
{
    AnsiLeadBytes lead;
    for (int b = 0x81; b <= 0x9F; ++b)
        lead.isLead[b] = true;
    for (int b = 0xE0; b <= 0xFC; ++b)
        lead.isLead[b] = true;
    return lead;
}

// None of the inputs holds a lead byte: on a double-byte system they decode
// exactly as on a single-byte one, with each "\r\n" removed once.
TEST_P(HexDecoding, DoubleByteSystemGivesTheSameBytes)
{
    const AnsiLeadBytes lead = ShiftJisLeadBytes();
    EXPECT_EQ(DecodeSeqHex(GetParam().input, lead), GetParam().sequential);
    EXPECT_EQ(DecodeRevHex(GetParam().input, lead).has_value(), GetParam().sequential.has_value());
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

TEST(HexDecodingDoubleByte, LineBreaksAreRemovedInOnePassOverCharacters)
{
    const AnsiLeadBytes lead = ShiftJisLeadBytes();
    // What closes up after the one removal is not a line break.
    EXPECT_EQ(DecodeSeqHex("ABCD\r\r\n\n ", lead), std::nullopt);
    EXPECT_EQ(DecodeRevHex("ABCD\r\r\n\n ", lead), std::nullopt);
    // 0x82 0x0D is one character, so its CR LF is no line break: the text has
    // 13 bytes and fails the format check before any pair is converted.
    const std::string trail("9\x82\r\nD5 68\nB ");
    EXPECT_EQ(DecodeSeqHex(trail, lead), std::nullopt);
    EXPECT_EQ(DecodeRevHex(trail, lead), std::nullopt);
    EXPECT_EQ(DecodeByMethod(HexSequential, trail, lead), std::nullopt);
    // A line break after a whole double-byte character is removed.
    EXPECT_THROW((void)DecodeSeqHex("\x82\x82\r\n41 ", lead), AppError);
    EXPECT_EQ(DecodeSeqHex("\r\n4142\r\n \r\n", lead), std::string("AB"));
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
