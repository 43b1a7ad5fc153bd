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
    ASSERT_EQ(read.pairs.size(), 1u);
    EXPECT_EQ(read.pairs.at(source), translation);
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
    EXPECT_EQ(read.pairs.at(u"a"), u"second");
    EXPECT_EQ(read.pairs.at(u"f"), u"last");
    EXPECT_FALSE(MemoryNeedsCompacting(read));
    MemoryContents grown = read;
    grown.lines = 2 * grown.pairs.size() + 1;
    EXPECT_TRUE(MemoryNeedsCompacting(grown));
    const MemoryContents compacted = ReadMemory(CompactedMemory(read));
    EXPECT_EQ(compacted.pairs, read.pairs);
    EXPECT_EQ(compacted.lines, read.pairs.size());
}
