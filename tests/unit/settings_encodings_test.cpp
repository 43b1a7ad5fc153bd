#include "settings/value_encodings.h"

#include <gtest/gtest.h>

#include <set>

using namespace kx;

namespace {

struct IntegerCase {
    const char* text;
    std::optional<std::int32_t> expected;
};

TEST(SettingsIntegerTest, ReadsWholeNumbersOnly)
{
    const IntegerCase cases[] = {
        {"0", 0},
        {"150", 150},
        {"+7", 7},
        {"-7", -7},
        {"-0", 0},
        {"007", 7},
        {"  42", 42},
        {"\t42", 42},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"00000000000000000000001", 1},
        {"$FFFFFFFF", -1},
        {"$ffffffff", -1},
        {"$80000000", INT32_MIN},
        {"$7FFFFFFF", INT32_MAX},
        {"$000000000000001F", 31},
        {"0x3B5", 949},
        {"0X3b5", 949},
        {"x3B5", 949},
        {"X3B5", 949},
        {"-$10", -16},
        {"+$10", 16},
        {"-$FFFFFFFF", 1},
        {"-0x80000000", INT32_MIN},
        {" -$1", -1},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"$100000000", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"x", std::nullopt},
        {"abc", std::nullopt},
        {"12a", std::nullopt},
        {"12 ", std::nullopt},
        {"1 2", std::nullopt},
        {"- 5", std::nullopt},
        {"--5", std::nullopt},
        {"+-5", std::nullopt},
        {"$-5", std::nullopt},
        {"0x$5", std::nullopt},
        {"00x5", std::nullopt},
        {"$G", std::nullopt},
        {"1e3", std::nullopt},
        {"1.0", std::nullopt},
        {"\xef\xbc\x91", std::nullopt},   // full-width digit one
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseInteger(c.text), c.expected) << "text: \"" << c.text << "\"";
}

TEST(SettingsIntegerTest, MissingOrBadValueGivesTheKeysDefault)
{
    EXPECT_EQ(ReadInteger(std::nullopt, 150), 150);
    EXPECT_EQ(ReadInteger(std::string("abc"), 150), 150);
    EXPECT_EQ(ReadInteger(std::string(""), 932), 932);
    EXPECT_EQ(ReadInteger(std::string("0x3B5"), 932), 949);
    EXPECT_EQ(ReadInteger(std::string("2"), 1), 2);
}

TEST(SettingsBooleanTest, AnyNonZeroNumberIsTrueAndWrittenAsOne)
{
    EXPECT_TRUE(ReadBoolean(std::string("5"), false));
    EXPECT_TRUE(ReadBoolean(std::string("-1"), false));
    EXPECT_TRUE(ReadBoolean(std::string("$FFFFFFFF"), false));
    EXPECT_FALSE(ReadBoolean(std::string("0"), true));
    EXPECT_TRUE(ReadBoolean(std::nullopt, true));
    EXPECT_FALSE(ReadBoolean(std::nullopt, false));
    EXPECT_TRUE(ReadBoolean(std::string("yes"), true));
    EXPECT_FALSE(ReadBoolean(std::string("yes"), false));
    EXPECT_EQ(BooleanText(true), "1");
    EXPECT_EQ(BooleanText(false), "0");
}

TEST(HexTextTest, FourUpperCaseDigitsPerCodeUnit)
{
    EXPECT_EQ(EncodeHexText(u"Ab"), "00410062");
    EXPECT_EQ(EncodeHexText(u""), "");
    EXPECT_EQ(EncodeHexText(u"C:\\a"), "0043003A005C0061");
    EXPECT_EQ(EncodeHexText(u"\uAC00\uFFFF"), "AC00FFFF");
    // A surrogate pair is two code units, two groups.
    EXPECT_EQ(EncodeHexText(u"\U0001F600"), "D83DDE00");
    EXPECT_EQ(EncodeHexText(std::u16string(1, u'\0')), "0000");
}

TEST(HexTextTest, DecodesGroupsOfFourAndIgnoresALeftOver)
{
    struct Case {
        const char* hex;
        std::optional<std::u16string> expected;
    };
    const Case cases[] = {
        {"0043003A005C0061", u"C:\\a"},
        {"0043003a005c0061", u"C:\\a"},
        {"0043003A005", u"C:"},
        {"0043003A00", u"C:"},
        {"0043003A0", u"C:"},
        {"004", u""},
        {"", u""},
        {"0043zz", u"C"},            // the left-over part is not looked at
        {"D83DDE00", u"\U0001F600"},
        {"DE00D83D", std::u16string{char16_t(0xDE00), char16_t(0xD83D)}},   // any unit order survives
        {"004G", std::nullopt},
        {"0043 041", std::nullopt},
        {"-043", std::nullopt},
        {"+043", std::nullopt},
        {"0x43", std::nullopt},
        {"00410042004Z", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeHexText(c.hex), c.expected) << "hex: " << c.hex;
}

TEST(HexTextTest, EveryCodeUnitRoundTrips)
{
    std::u16string all;
    for (unsigned unit = 0; unit <= 0xFFFF; ++unit)
        all.push_back(static_cast<char16_t>(unit));
    const std::string hex = EncodeHexText(all);
    ASSERT_EQ(hex.size(), all.size() * 4);
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(DecodeHexText(hex), all);
}

TEST(ColorTextTest, TableHas52DistinctNamesAndValues)
{
    std::set<std::string> names;
    std::set<Color> values;
    for (int i = 0; i < kNamedColorCount; ++i) {
        names.insert(std::string(NamedColors()[i].name));
        values.insert(NamedColors()[i].value);
    }
    EXPECT_EQ(names.size(), 52u);
    EXPECT_EQ(values.size(), 52u);
}

TEST(ColorTextTest, EveryNameIsWrittenAndReadInAnyCase)
{
    for (int i = 0; i < kNamedColorCount; ++i) {
        const NamedColor& named = NamedColors()[i];
        const std::string name(named.name);
        EXPECT_EQ(ColorText(named.value), name);
        EXPECT_EQ(ParseColorText(name), named.value) << name;
        std::string upper = name, lower = name;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(ParseColorText(upper), named.value) << upper;
        EXPECT_EQ(ParseColorText(lower), named.value) << lower;
    }
}

TEST(ColorTextTest, SystemColoursAreTheirIndexAbove0xFF000000)
{
    const std::pair<const char*, Color> samples[] = {
        {"clScrollBar", 0xFF000000}, {"clBtnFace", 0xFF00000F}, {"clInfoBk", 0xFF000018},
        {"clHotLight", 0xFF00001A},  {"clMenuBar", 0xFF00001E}, {"clNone", 0x1FFFFFFF}, {"clDefault", 0x20000000},
    };
    for (const auto& [name, value] : samples)
        EXPECT_EQ(ParseColorText(name), value) << name;
    EXPECT_EQ(ColorText(0xFF000019), "$FF000019");   // index 25 has no name
}

TEST(ColorTextTest, UnnamedColoursAsDollarAndEightUpperCaseDigits)
{
    EXPECT_EQ(ColorText(0x00123456), "$00123456");
    EXPECT_EQ(ColorText(0x00ABCDEF), "$00ABCDEF");
    EXPECT_EQ(ColorText(0xFFFFFFFF), "$FFFFFFFF");
    EXPECT_EQ(ParseColorText("$00123456"), 0x00123456u);
    EXPECT_EQ(ParseColorText("$000000FF"), 0x000000FFu);
    EXPECT_EQ(ParseColorText("255"), 0x000000FFu);
    EXPECT_EQ(ParseColorText("0xff"), 0x000000FFu);
    EXPECT_EQ(ParseColorText("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseColorText("-16777211"), 0xFF000005u);   // clWindow as a number
}

TEST(ColorTextTest, UnknownTextDoesNotConvert)
{
    for (const char* text : {"", "clRedd", "cl Red", " clRed", "clRed ", "red", "$1234567G", "$100000000", "#FF0000"})
        EXPECT_EQ(ParseColorText(text), std::nullopt) << text;
}

struct FontCase {
    const char* text;
    std::optional<FontDescription> expected;
};

TEST(FontTextTest, ParsesFieldByField)
{
    const FontCase cases[] = {
        {"Arial,clRed,10,f,bu", FontDescription{"Arial", 0x000000FF, 10, FontPitch::Fixed, true, false, true, false}},
        {"Arial,$000000FF,10,x,zb", FontDescription{"Arial", 0x000000FF, 10, FontPitch::Default, true}},
        {"Tahoma,clWindowText,8,d,", FontDescription{"Tahoma", kClWindowText, 8, FontPitch::Default}},
        {"MS Gothic,clwindowtext,12,v,bius",
         FontDescription{"MS Gothic", kClWindowText, 12, FontPitch::Variable, true, true, true, true}},
        // Style letters are taken from all the rest, commas included; capitals are skipped.
        {"A,0,1,f,s,b,BIUS", FontDescription{"A", 0, 1, FontPitch::Fixed, true, false, false, true}},
        {"A,0, 9,D,", FontDescription{"A", 0, 9, FontPitch::Default}},   // "D" leaves the default pitch
        {"A,0,$10,vv,", FontDescription{"A", 0, 16, FontPitch::Default}},
        // Sizes are made sound: a negative one by its magnitude, 0 as 8, the
        // rest held to 1..1638 points (-2147483648 has no magnitude in 32 bits).
        {",clRed,-11,v,", FontDescription{"", 0x000000FF, 11, FontPitch::Variable}},
        {"A,clNone,0,f,i", FontDescription{"A", 0x1FFFFFFF, 8, FontPitch::Fixed, false, true}},
        {"A,0,-2147483648,d,", FontDescription{"A", 0, 1638, FontPitch::Default}},
        {"A,0,$80000000,d,", FontDescription{"A", 0, 1638, FontPitch::Default}},
        {"A,0,2147483647,d,", FontDescription{"A", 0, 1638, FontPitch::Default}},
        {"A,0,1639,d,", FontDescription{"A", 0, 1638, FontPitch::Default}},
        // Malformed: the font in use is kept.
        {"", std::nullopt},
        {"Arial", std::nullopt},
        {"Arial,clRed", std::nullopt},
        {"Arial,clRed,10", std::nullopt},
        {"Arial,clRed,10,f", std::nullopt},
        {"Arial,clRedd,10,f,", std::nullopt},
        {"Arial,clRed,ten,f,", std::nullopt},
        {"Arial,clRed,10 ,f,", std::nullopt},
        {"Arial,clRed,,f,", std::nullopt},
        {"Arial,,10,f,", std::nullopt},
        {"Arial,clRed,2147483648,f,", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseFontText(c.text), c.expected) << "text: " << c.text;
}

// Whatever the stored size, the font gets a usable height, and the size read
// back from that height is the one written at exit, stable over restarts.
TEST(FontSizeTest, HeightsAreSoundAndSizesSurviveARestart)
{
    for (const int dpi : {96, 120, 144, 192}) {
        for (const std::int32_t stored : {INT32_MIN, INT32_MIN + 1, -100000, -12, -1, 0, 1, 8, 72, 1638, 1639, 100000,
                                          INT32_MAX}) {
            const std::int32_t height = FontHeightForPoints(stored, dpi);
            EXPECT_LT(height, 0) << stored << " at " << dpi;
            EXPECT_GE(height, -(kMaxFontPoints * dpi / 72 + 1)) << stored << " at " << dpi;
            const std::int32_t written = FontPointsForHeight(height, dpi);
            EXPECT_EQ(written, SoundFontPoints(stored)) << stored << " at " << dpi;
            EXPECT_EQ(FontPointsForHeight(FontHeightForPoints(written, dpi), dpi), written);
        }
    }
    EXPECT_EQ(FontHeightForPoints(8, 96), -11);   // the design font, Tahoma 8
    EXPECT_EQ(FontHeightForPoints(10, 144), -20);
    EXPECT_EQ(FontPointsForHeight(-11, 96), 8);
    EXPECT_EQ(FontPointsForHeight(13, 96), 10);    // a cell height counts by its size too
    EXPECT_EQ(FontPointsForHeight(INT32_MIN, 96), kMaxFontPoints);
    EXPECT_EQ(FontPointsForHeight(0, 96), 8);
    EXPECT_EQ(FontHeightForPoints(8, 0), -11);      // no screen reading: 96 dots per inch
}

TEST(FontTextTest, WritesEveryFieldAndTheTrailingComma)
{
    EXPECT_EQ(FontText(FontDescription{"Tahoma", kClWindowText, 8, FontPitch::Default}), "Tahoma,clWindowText,8,d,");
    EXPECT_EQ(FontText(FontDescription{"Arial", 0x00123456, -12, FontPitch::Fixed, true, true, true, true}),
              "Arial,$00123456,-12,f,bius");
    EXPECT_EQ(FontText(FontDescription{"X", 0x000000FF, 10, FontPitch::Variable, false, true, false, true}),
              "X,clRed,10,v,is");
    EXPECT_EQ(FontText(FontDescription{"X", 0, 10, FontPitch::Fixed, true, false, true, false}), "X,clBlack,10,f,bu");
}

} // namespace
