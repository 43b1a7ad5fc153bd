#include "capture/text_decoding.h"
#include "platform/win32/win32_code_pages.h"

#include <gtest/gtest.h>

#include <windows.h>

using kx::win32::Win32CodePages;

namespace {

TEST(Win32CodePagesTest, ShiftJisAndKoreanRoundTrip)
{
    Win32CodePages pages;
    EXPECT_EQ(pages.ToWide("\x82\xA0\x82\xA2", 932), u"あい");
    EXPECT_EQ(pages.FromWide(u"あい", 932), "\x82\xA0\x82\xA2");
    EXPECT_EQ(pages.ToWide("\xB0\xA1\xC7\xD1", 949), u"가한");
    EXPECT_EQ(pages.FromWide(u"가한", 949), "\xB0\xA1\xC7\xD1");
    // Mixed single- and double-byte text keeps its order and length.
    EXPECT_EQ(pages.ToWide("a\x82\xA0z", 932), u"aあz");
}

TEST(Win32CodePagesTest, InvalidBytesAreReplacedWithoutError)
{
    Win32CodePages pages;
    // A lead byte at the very end, and a lead byte with a trail byte that the
    // code page does not define: both still give text, never an error.
    const std::u16string truncated = pages.ToWide("a\x82", 932);
    ASSERT_FALSE(truncated.empty());
    EXPECT_EQ(truncated[0], u'a');
    const std::u16string undefined = pages.ToWide("\x85\x40x", 932);
    ASSERT_FALSE(undefined.empty());
    EXPECT_EQ(undefined.back(), u'x');
    const std::u16string korean = pages.ToWide("\xFF\xFFk", 949);
    ASSERT_FALSE(korean.empty());
    EXPECT_EQ(korean.back(), u'k');
}

TEST(Win32CodePagesTest, CharactersMissingFromTheCodePageGetDefaultCharacter)
{
    Win32CodePages pages;
    // Hangul has no Shift-JIS form; Hiragana has one in 949 but not the sign U+2603.
    const std::string sjis = pages.FromWide(u"a가b", 932);
    EXPECT_EQ(sjis.front(), 'a');
    EXPECT_EQ(sjis.back(), 'b');
    EXPECT_EQ(pages.ToWide(sjis, 932).find(u'가'), std::u16string::npos);
    const std::string korean = pages.FromWide(u"\u2603", 949);
    EXPECT_FALSE(korean.empty());
}

TEST(Win32CodePagesTest, EmptyTextAndEmbeddedNulls)
{
    Win32CodePages pages;
    EXPECT_EQ(pages.ToWide("", 932), u"");
    EXPECT_EQ(pages.FromWide(u"", 949), "");
    EXPECT_EQ(pages.ToWide(std::string("a\0b", 3), 932), std::u16string(u"a\0b", 3));
}

} // namespace

// Run with LC_ALL=ja_JP.UTF-8, which gives the process the ANSI code page 932
// (ctest entry "cp932.*"); elsewhere it is skipped.
TEST(AnsiCodePage932, HexDecodersRemoveLineBreaksOnceOverSystemCharacters)
{
    if (::GetACP() != 932)
        GTEST_SKIP() << "ANSI code page " << ::GetACP();
    const kx::AnsiLeadBytes lead = kx::win32::SystemAnsiLeadBytes();
    EXPECT_TRUE(lead.isLead[0x82]);
    EXPECT_FALSE(lead.isLead['\r']);
    EXPECT_EQ(kx::DecodeSeqHex("ABCD\r\r\n\n ", lead), std::nullopt);
    EXPECT_EQ(kx::DecodeSeqHex("9\x82\r\nD5 68\nB ", lead), std::nullopt);
    EXPECT_EQ(kx::DecodeRevHex("9\x82\r\nD5 68\nB ", lead), std::nullopt);
    // Ordinary line breaks still go, and the bytes are Shift-JIS text.
    const std::optional<std::string> bytes = kx::DecodeSeqHex("82A0\r\n 82A2 ", lead);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(Win32CodePages().ToWide(*bytes, 0), u"あい");
}
