#include "translate/memory_file.h"

#include <gtest/gtest.h>

using namespace kx;

TEST(MemoryFile, FieldsWithTabsLineBreaksAndBackslashesComeBackWhole)
{
    const std::u16string source = u"名前\t「a\\b」\r\n二行目😀";
    const std::u16string translation = u"이름\\n\t";
    const std::string line = MemoryLine(source, translation);
    EXPECT_EQ(line, "\xE5\x90\x8D\xE5\x89\x8D\\t\xE3\x80\x8C" "a\\\\b\xE3\x80\x8D\\r\\n\xE4\xBA\x8C\xE8\xA1\x8C\xE7\x9B\xAE"
                    "\xF0\x9F\x98\x80\t\xEC\x9D\xB4\xEB\xA6\x84\\\\n\\t\r\n");
    const MemoryContents read = ReadMemory(line);
    ASSERT_EQ(read.pairs.Size(), 1u);
    EXPECT_EQ(read.pairs.Find(source), translation);
    EXPECT_EQ(HistoryLine("2026-12-11 10:00:00", u"a\tb", u"c"), "2026-12-11 10:00:00\ta\\tb\tc\r\n");
}

// A file edited elsewhere: a byte-order mark, LF line ends, a later line for
// the same source, and lines that are no pair (skipped and counted).
TEST(MemoryFile, ALaterLineWinsAndLinesThatAreNoPairAreSkippedAndCounted)
{
    const MemoryContents read = ReadMemory("\xEF\xBB\xBF" "a\tfirst\n"
                                           "no tab here\n"
                                           "b\t\xFF\n"          // no UTF-8
                                           "c\tbad \\x escape\n"
                                           "d\tone\ttwo\n"
                                           "\r\n"
                                           "a\tsecond\r\n"
                                           "e\t\n"            // nothing to show
                                           "f\tlast");  // without its line end
    EXPECT_EQ(read.lines, 3u);
    EXPECT_EQ(read.unreadable, 5u);
    EXPECT_EQ(read.pairs.Find(u"a"), u"second");
    EXPECT_EQ(read.pairs.Find(u"f"), u"last");
    EXPECT_EQ(read.pairs.Find(u"no tab here"), std::nullopt);
    EXPECT_FALSE(MemoryNeedsCompacting(read));
    MemoryContents grown = ReadMemory("a\t1\r\na\t2\r\na\t3\r\n");
    EXPECT_TRUE(MemoryNeedsCompacting(grown));
    const MemoryContents compacted = ReadMemory(CompactedMemory(read));
    EXPECT_EQ(compacted.lines, read.pairs.Size());
    read.pairs.ForEach([&](std::string_view source, std::string_view translation) {
        EXPECT_EQ(compacted.pairs.Find(source), translation);
    });
}

// Pairs far more than a block holds, and a text longer than one, stay whole
// and findable; a later pair takes the place of an earlier one.
TEST(MemoryFile, TheStoreKeepsEveryPairWholeAcrossItsBlocks)
{
    PairStore store;
    const std::string huge(5u << 20, 'x');
    store.Put(std::string_view("huge"), std::string_view(huge));
    for (int i = 0; i < 200000; ++i)
        store.Put(std::string_view("source " + std::to_string(i)), std::string_view("translation " + std::to_string(i)));
    store.Put(std::string_view("source 7"), std::string_view("later"));
    EXPECT_EQ(store.Size(), 200001u);
    EXPECT_EQ(store.Find(std::string_view("huge")), std::string_view(huge));
    EXPECT_EQ(store.Find(std::string_view("source 199999")), std::string_view("translation 199999"));
    EXPECT_EQ(store.Find(std::string_view("source 7")), std::string_view("later"));
}
