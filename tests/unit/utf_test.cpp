#include "common/utf.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

using namespace kx;

namespace {

TEST(Utf8Conversion, EveryCodeUnitSequenceComesBack)
{
    EXPECT_EQ(Utf8FromUtf16(u"a\u00E9\u4E00\U0001F600"), "a\xC3\xA9\xE4\xB8\x80\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16FromUtf8("a\xC3\xA9\xE4\xB8\x80\xF0\x9F\x98\x80"), u"a\u00E9\u4E00\U0001F600");
    EXPECT_EQ(Utf16FromUtf8("\xFF" "a\xC3"), u"\uFFFDa\uFFFD");
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::u16string units;
        for (int i = 0; i < 50; ++i)
            units.push_back(static_cast<char16_t>(random() % 4 == 0 ? 0xD800 + random() % 0x800 : random() % 0x10000));
        EXPECT_EQ(Utf16FromUtf8(Utf8FromUtf16(units)), units);
    }
}

TEST(Utf8Conversion, WellFormedOnlyRefusesWhatIsNoUtf8)
{
    EXPECT_EQ(Utf16FromWellFormedUtf8(""), u"");
    EXPECT_EQ(Utf16FromWellFormedUtf8("a\xC3\xA9\xEF\xBF\xBD\xF4\x8F\xBF\xBF"), u"a\u00E9\uFFFD\U0010FFFF");
    for (const char* bad : {"\xFF", "a\xC3", "\xC0\x80", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF",
                            "\xF4\x90\x80\x80", "\x80"})
        EXPECT_EQ(Utf16FromWellFormedUtf8(bad), std::nullopt) << bad;
}

// However the bytes are cut, the same letters come out; what is no UTF-8 is
// U+FFFD in its place, and the halves of a pair written apart are joined.
TEST(Utf8Decoding, PiecesCutAnywhereGiveTheLettersOfTheWhole)
{
    const std::string bytes = "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80"  // é あ 😀
                              "\xED\xA0\xBD\xED\xB8\x80"                // 😀 as two halves of three bytes each
                              "\xFF\xE3\x81z\xED\xB8\x80\xED\xA0\xBD!"  // a stray byte, a letter cut short, lone halves
                              "\xF0\x9F";                               // never finished
    const std::u16string want = u"a\u00E9\u3042\U0001F600\U0001F600\uFFFD\uFFFDz\uFFFD\uFFFD!\uFFFD";
    for (std::size_t cut = 1; cut <= bytes.size(); ++cut) {
        Utf8Decoder decoder;
        std::u16string out;
        for (std::size_t at = 0; at < bytes.size(); at += cut)
            decoder.Append(std::string_view(bytes).substr(at, cut), out);
        decoder.Finish(out);
        EXPECT_EQ(out, want) << cut;
    }
}

} // namespace
