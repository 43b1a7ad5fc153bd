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

} // namespace
