#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace kx;

namespace {

std::string Updated(std::string_view before, std::string_view section, std::string_view key, std::string_view value)
{
    IniFile file = IniFile::Parse(before);
    file.Set(section, key, value);
    return file.Serialize();
}

// What GetPrivateProfileStringA gives for each key of this file under Wine.
TEST(IniFileTest, ReadsValuesAsThePlatformDoes)
{
    const std::string text =
        "[S]\r\n"
        "q1=\"abc\"\r\n"
        "q2='abc'\r\n"
        "q3=\"abc\r\n"
        "q4=\"\r\n"
        "q5=\"\"\r\n"
        "q6=  a b  \t\r\n"
        "q7=\"a\"b\"\r\n"
        "q8='a\"\r\n"
        "  q9  =  v9\r\n"
        "q10\r\n"
        "d=1\r\n"
        "d=2\r\n"
        "Q11=x=y\r\n"
        "q12=\t \r\n"
        "q13 = ' x '\r\n"
        "q14=\x1a" "a\x0b\x0c\x1a\r\n"
        "q15=\x1c" "a\xa0\r\n"
        "cr=a\rb=c\r\n" +
        std::string("nul=a\0b", 7) + "\r\n"
        "[ S2 ]\r\n"
        "k=s2\r\n"
        "[S3\r\n"
        "k=s3\r\n"
        "[S4]junk\r\n"
        "k=s4\r\n";
    const IniFile file = IniFile::Parse(text);
    const std::pair<const char*, std::optional<std::string>> expected[] = {
        {"q1", "abc"},   {"q2", "abc"},   {"q3", "\"abc"},   {"q4", "\""},        {"q5", ""},
        {"q6", "a b"},   {"q7", "a\"b"},  {"q8", "'a\""},    {"q9", "v9"},        {"q10", std::nullopt},
        {"d", "1"},      {"q11", "x=y"},  {"q12", ""},       {"q13", " x "},      {"q14", "a"},
        {"q15", "\x1c" "a\xa0"},          {"cr", "a"},       {"b", "c"},          {"nul", "a"},
        {"k", std::nullopt},              {"missing", std::nullopt},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(file.Get("S", key), value) << "key " << key;
    EXPECT_EQ(file.Get("s2", "K"), "s2");
    EXPECT_EQ(file.Get(" S2 ", "k"), "s2");
    EXPECT_EQ(file.Get("S3", "k"), std::nullopt);   // "[S3" is no header: its lines belong to S2
    EXPECT_EQ(file.Get("S4", "k"), "s4");
    EXPECT_EQ(file.Get("Nowhere", "k"), std::nullopt);
}

TEST(IniFileTest, FirstSectionAndFirstKeyOfANameWin)
{
    const IniFile file = IniFile::Parse("[A]\nx=1\nX=2\n[B]\ny=3\n[a]\nx=4\nz=5\n");
    EXPECT_EQ(file.Get("A", "x"), "1");
    EXPECT_EQ(file.Get("a", "X"), "1");
    EXPECT_EQ(file.Get("A", "z"), std::nullopt);   // only the first [A] is looked at
}

TEST(IniFileTest, LinesBeforeTheFirstSectionBelongToNone)
{
    const IniFile file = IniFile::Parse("x=1\n[A]\ny=2\n");
    EXPECT_EQ(file.Get("A", "x"), std::nullopt);
    EXPECT_EQ(file.Get("A", "y"), "2");
}

TEST(IniFileTest, ReadsLongValuesWhole)
{
    const std::string value(100000, 'F');
    const IniFile file = IniFile::Parse("[AgthSM0]\r\nNotes=" + value + "\r\n");
    EXPECT_EQ(file.Get("AgthSM0", "Notes"), value);
}

TEST(IniFileTest, SerializesAnyFileUnchanged)
{
    const std::string samples[] = {
        "",
        "\r\n\r\n",
        "[A]",
        "[A]\nx=1",
        "\xEF\xBB\xBF[A]\r\nx=1\r\n",
        "; comment\r\n\r\n[A]\r\n  x  =  1  \r\n\r\n[B]\ry=2\r\r\n\n",
        std::string("a\0b=c\n[\0]\n", 11),
    };
    for (const auto& sample : samples)
        EXPECT_EQ(IniFile::Parse(sample).Serialize(), sample);

    std::mt19937 random(7);
    const char alphabet[] = "[]=;# \t\r\n\"'\x1a" "abAB\0\xff";
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 60, ' ');
        for (char& c : bytes)
            c = alphabet[random() % (sizeof alphabet - 1)];
        ASSERT_EQ(IniFile::Parse(bytes).Serialize(), bytes);
    }
}

struct UpdateCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(IniFileTest, UpdatesAHandEditedFileInPlace)
{
    const std::string edited = "; my settings\r\n"
                               "\r\n"
                               "[Setting]\r\n"
                               "  Ancete  =  1   ; keep spacing\r\n"
                               "MyOwnKey=hello\r\n"
                               "\r\n"
                               "\r\n"
                               "[Unknown]\r\n"
                               "a = b\r\n";
    const UpdateCase cases[] = {
        {"existing key keeps indentation and spacing", edited, "setting", "ANCETE", "0",
         "; my settings\r\n\r\n[Setting]\r\n  Ancete  =  0\r\nMyOwnKey=hello\r\n\r\n\r\n[Unknown]\r\na = b\r\n"},
        {"new key behind the last line, before the blank lines", edited, "Setting", "uot", "1",
         "; my settings\r\n\r\n[Setting]\r\n  Ancete  =  1   ; keep spacing\r\nMyOwnKey=hello\r\nuot=1\r\n\r\n\r\n"
         "[Unknown]\r\na = b\r\n"},
        {"new section at the end", edited, "Agth", "AgthATrun", "1", edited + "[Agth]\r\nAgthATrun=1\r\n"},
        {"same value: nothing changes", edited, "Unknown", "A", "b", edited},
        {"LF file gets LF lines", "[A]\nx=1\n", "A", "y", "2", "[A]\nx=1\ny=2\n"},
        {"LF file, new section", "[A]\nx=1\n", "B", "y", "2", "[A]\nx=1\n[B]\ny=2\n"},
        {"no final line break, new key", "[A]\r\nx=1", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
        {"no final line break, new section", "[A]\nx=1", "B", "y", "2", "[A]\nx=1\n[B]\ny=2\n"},
        {"no final line break, replaced", "[A]\r\nx=1", "A", "x", "22", "[A]\r\nx=22"},
        {"header is the last line", "[A]", "A", "x", "1", "[A]\r\nx=1\r\n"},
        {"empty section before another", "[A]\r\n\r\n[B]\r\n", "A", "x", "1", "[A]\r\nx=1\r\n\r\n[B]\r\n"},
        {"new file", "", "A", "x", "1", "[A]\r\nx=1\r\n"},
        {"only a comment", "; c", "A", "x", "1", "; c\r\n[A]\r\nx=1\r\n"},
        {"first of duplicate keys", "[A]\nd=1\nd=2\n", "A", "D", "3", "[A]\nd=3\nd=2\n"},
        {"first of duplicate sections", "[A]\nx=1\n[B]\n[A]\nx=2\n", "A", "y", "3", "[A]\nx=1\ny=3\n[B]\n[A]\nx=2\n"},
        {"key line without equals sign", "[A]\n  flag  \nz=1\n", "A", "FLAG", "7", "[A]\n  flag=7\nz=1\n"},
        {"quoted value replaced", "[A]\nx=\"old\"\n", "A", "x", "new", "[A]\nx=new\n"},
        {"value equal to the quoted one", "[A]\nx=\"same\"\n", "A", "x", "same", "[A]\nx=\"same\"\n"},
        {"comment after the last key", "[A]\nx=1\n;about B\n\n[B]\n", "A", "y", "2", "[A]\nx=1\n;about B\ny=2\n\n[B]\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[A]\r\n", "A", "x", "1", "\xEF\xBB\xBF[A]\r\nx=1\r\n"},
        {"lone CR line ends", "[A]\rx=1\r", "A", "y", "2", "[A]\rx=1\ry=2\r"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Updated(c.before, c.section, c.key, c.value), c.after) << c.name;
}

TEST(IniFileTest, ValuesThatReadingWouldChangeAreQuoted)
{
    const char* values[] = {" lead", "trail ", "\tx\t", "\"quoted\"", "'single'", "\"", "'", "\"x'", "a=b", "; not a comment",
                            "\x1a", "", "plain"};
    for (const char* value : values) {
        IniFile file = IniFile::Parse("[A]\r\n");
        file.Set("A", "k", value);
        EXPECT_EQ(IniFile::Parse(file.Serialize()).Get("A", "k"), value) << file.Serialize();
    }
    EXPECT_EQ(IniFile::StoredForm(" x"), "\" x\"");
    EXPECT_EQ(IniFile::StoredForm("\"x\""), "\"\"x\"\"");
    EXPECT_EQ(IniFile::StoredForm("\"x"), "\"x");
    EXPECT_EQ(IniFile::StoredForm("x"), "x");
}

TEST(IniFileTest, AValueKeepsOneLine)
{
    IniFile file = IniFile::Parse("[A]\r\nnext=1\r\n");
    file.Set("A", "k", "first\r\nnext=2");
    file.Set("A", "n", std::string("a\0b", 3));
    EXPECT_EQ(file.Serialize(), "[A]\r\nnext=1\r\nk=first\r\nn=a\r\n");
    EXPECT_EQ(file.Get("A", "next"), "1");
}

TEST(IniFileTest, RefusesNamesThatCannotBeStored)
{
    IniFile file;
    EXPECT_THROW(file.Set("", "k", "v"), std::invalid_argument);
    EXPECT_THROW(file.Set("A", "", "v"), std::invalid_argument);
    EXPECT_THROW(file.Set("A", "a=b", "v"), std::invalid_argument);
    EXPECT_THROW(file.Set("A", "[k]", "v"), std::invalid_argument);
    EXPECT_THROW(file.Set(" A", "k", "v"), std::invalid_argument);
    EXPECT_THROW(file.Set("A", "k\n", "v"), std::invalid_argument);
    EXPECT_EQ(file.Serialize(), "");
}

TEST(IniFileTest, EveryOtherKeyKeepsItsValueThroughUpdates)
{
    // Random updates on a file with duplicates and clutter: each key reads as
    // last set, every untouched key as before.
    const std::string start = "junk line\n[S0]\nk0=a\nk0=dup\n\n; c\n[S1]\r\nk1 = b \r\n[s0]\nk9=hidden\n";
    IniFile file = IniFile::Parse(start);
    std::map<std::pair<std::string, std::string>, std::optional<std::string>> model;
    const char* sections[] = {"S0", "S1", "S2", "s3"};
    const char* keys[] = {"k0", "k1", "k2", "K3", "k9"};
    for (const char* s : sections)
        for (const char* k : keys)
            model[{s, k}] = file.Get(s, k);
    std::mt19937 random(11);
    for (int step = 0; step < 500; ++step) {
        const std::string s = sections[random() % 4];
        const std::string k = keys[random() % 5];
        if (random() % 4 == 0 && k != "k0") {  // k0's duplicate stays, see below
            file.Remove(s, k);
            model[{s, k}] = std::nullopt;
        } else {
            std::string value(random() % 6, 'x');
            for (char& c : value)
                c = " \"'=ab;"[random() % 7];
            file.Set(s, k, value);
            model[{s, k}] = value;
        }
        const IniFile reread = IniFile::Parse(file.Serialize());
        for (const auto& [where, expected] : model) {
            ASSERT_EQ(reread.Get(where.first, where.second), expected) << where.first << "/" << where.second;
            ASSERT_EQ(file.Get(where.first, where.second), expected) << where.first << "/" << where.second;
        }
    }
    const std::string text = file.Serialize();
    EXPECT_NE(text.find("junk line\n"), std::string::npos);
    EXPECT_NE(text.find("\n; c\n"), std::string::npos);
    EXPECT_NE(text.find("k9=hidden\n"), std::string::npos);   // in the second [s0], never read
    EXPECT_NE(text.find("k0=dup\n"), std::string::npos);
}

// Removing every line of a key, duplicates too, then adding keys: the new
// lines go behind the last line left, before the blank lines at the end.
TEST(IniFileTest, RemovedKeysLeaveNoLineAndNewKeysFollowTheLastLineLeft)
{
    IniFile file = IniFile::Parse("[A]\nx=1\nB0=a\nb0=dup\nB1=b\n\n\n[C]\nc=3");
    EXPECT_TRUE(file.Remove("a", "b0"));
    EXPECT_TRUE(file.Remove("A", "B1"));
    EXPECT_FALSE(file.Remove("A", "B1"));
    EXPECT_FALSE(file.Remove("A", ""));
    EXPECT_EQ(file.Get("A", "B0"), std::nullopt);
    file.Set("A", "n", "2");
    file.Set("C", "d", "4");
    EXPECT_EQ(file.Serialize(), "[A]\nx=1\nn=2\n\n\n[C]\nc=3\nd=4\n");
}

} // namespace
