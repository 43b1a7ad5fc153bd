#include "translate/chat_stream.h"

#include <gtest/gtest.h>

#include <string>

using namespace kx;

namespace {

std::string Piece(const std::string& content)
{
    return R"({"choices":[{"index":0,"delta":{"content":")" + content + R"("}}]})";
}

// A stream as llama.cpp and Ollama write it, with what servers add around the
// pieces: comments, other fields, CR LF, a reasoning field, an event with two
// data lines.
const std::string kStream = ": keep-alive\r\n\r\n"
                            "data: " + std::string(R"({"choices":[{"delta":{"role":"assistant"}}]})") + "\r\n\r\n"
                            "event: message\r\nid: 7\r\ndata: " + Piece("\xEC\x95\x88") + "\r\n\r\n"
                            "data:" + R"({"choices":[{"delta":{"reasoning_content":"hmm","content":null}}]})" + "\n\n"
                            "data: " + Piece("\xEB\x85\x95 ") + "\n\n"
                            "data: " + Piece("\xED\x95\x98\xEC\x84\xB8\xEC\x9A\x94") + "\r\r"
                            "data: [DONE]\n\n";

TEST(ChatStreamReader, PiecesJoinHoweverTheBytesAreCut)
{
    for (const std::size_t size : {kStream.size(), std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
        ChatStreamReader reader;
        bool grew = false;
        for (std::size_t at = 0; at < kStream.size(); at += size)
            grew |= reader.Feed(std::string_view(kStream).substr(at, size));
        reader.Finish();
        EXPECT_TRUE(grew);
        EXPECT_EQ(reader.Text(), u"안녕 하세요") << size;
        EXPECT_TRUE(reader.Complete()) << size;
        EXPECT_EQ(reader.Failure(), "") << size;
        // What follows the end is not the answer's.
        EXPECT_FALSE(reader.Feed("data: " + Piece("more") + "\n\n"));
        EXPECT_EQ(reader.Text(), u"안녕 하세요");
    }
}

// A server may cut the answer between two bytes of a letter, or between
// the two \u escapes of a surrogate pair; the reads may be cut anywhere too.
TEST(ChatStreamReader, ALetterCutBetweenEventsArrivesWhole)
{
    const std::string stream = "data: " + Piece("a\xE3\x81") + "\n\n"      // あ: two bytes here,
                               "data: " + Piece("\x82\\ud83d") + "\n\n"   // the third here, with half of 😀
                               ": a comment between\n\n"
                               "data: " + Piece("\\ude00b") + "\n\n"
                               "data: [DONE]\n\n";
    for (const std::size_t size : {stream.size(), std::size_t{1}, std::size_t{5}}) {
        ChatStreamReader reader;
        for (std::size_t at = 0; at < stream.size(); at += size)
            reader.Feed(std::string_view(stream).substr(at, size));
        EXPECT_EQ(reader.Text(), u"aあ\U0001F600b") << size;
        EXPECT_TRUE(reader.Complete()) << size;
        EXPECT_EQ(reader.UnreadableEvents(), 0u) << size;
    }
}

TEST(ChatStreamReader, BytesThatAreNoLetterBecomeReplacementCharactersInPlace)
{
    ChatStreamReader reader;
    reader.Feed("data: " + Piece("x\xFFy\xE3\x81z") + "\n\n");      // a stray byte, a letter cut short
    reader.Feed("data: " + Piece("\\ude00\\ud83dq") + "\n\n");     // a low half alone, a high half alone
    reader.Feed("data: " + Piece("\xF0\x9F") + "\n\ndata: [DONE]\n\n");  // never finished
    EXPECT_EQ(reader.Text(), u"x\uFFFDy\uFFFDz\uFFFD\uFFFDq\uFFFD");
    EXPECT_TRUE(reader.Complete());
    EXPECT_EQ(reader.UnreadableEvents(), 0u);
}

TEST(ChatStreamReader, AByteOrderMarkAtTheStartIsSkipped)
{
    const std::string stream = "\xEF\xBB\xBF" "data: " + Piece("first") + "\n\ndata: [DONE]\n\n";
    for (const std::size_t size : {stream.size(), std::size_t{1}}) {
        ChatStreamReader reader;
        for (std::size_t at = 0; at < stream.size(); at += size)
            reader.Feed(std::string_view(stream).substr(at, size));
        EXPECT_EQ(reader.Text(), u"first") << size;
        EXPECT_TRUE(reader.Complete()) << size;
    }
    ChatStreamReader whole;
    whole.Feed("\xEF\xBB\xBF" R"({"choices":[{"message":{"content":"one"}}]})");
    whole.Finish();
    EXPECT_EQ(whole.Text(), u"one");
}

// An event that is no JSON at all took some of the answer with it; one that
// says nothing, or nothing of the answer, took nothing.
TEST(ChatStreamReader, EventsThatCannotBeReadAreCounted)
{
    ChatStreamReader reader;
    reader.Feed("data: " + Piece("a") + "\n\n"
                "data: {\"choices\":[{\"delta\":{\"content\":\"lost\"}}\n\n"
                "data: " + Piece("b\\x") + "\n\n"
                "data:\n\n"
                "data: {\"object\":\"ping\"}\n\n"
                "data: " + Piece("c") + "\n\ndata: [DONE]\n\n");
    EXPECT_EQ(reader.Text(), u"ac");
    EXPECT_TRUE(reader.Complete());
    EXPECT_EQ(reader.UnreadableEvents(), 2u);
}

TEST(ChatStreamReader, ADataLineAcrossTwoReadsCountsOnceWhole)
{
    ChatStreamReader reader;
    EXPECT_FALSE(reader.Feed("data: {\"choices\":[{\"delta\":{\"con"));
    EXPECT_TRUE(reader.Feed("tent\":\"ab\"}}]}\n\n"));
    EXPECT_EQ(reader.Text(), u"ab");
    EXPECT_FALSE(reader.Complete());
    // The end marker counts once its line has ended: the blank line after
    // it may be long in coming.
    reader.Feed("data: [DONE]\n");
    EXPECT_TRUE(reader.Complete());
}

TEST(ChatStreamReader, ANonStreamedAnswerIsReadWhenTheBodyEnds)
{
    ChatStreamReader reader;
    EXPECT_FALSE(reader.Feed(R"({"choices":[{"message":{"content":" whole "}}]})"));
    EXPECT_EQ(reader.Text(), u"");
    reader.Finish();
    EXPECT_EQ(reader.Text(), u"whole");
    EXPECT_TRUE(reader.Complete());

    ChatStreamReader neither;
    neither.Feed("<html>Bad Gateway</html>");
    neither.Finish();
    EXPECT_EQ(neither.Failure(), "the answer is not JSON");
}

TEST(ChatStreamReader, ACutOrFailedStreamKeepsWhatCameAndSaysItIsNotComplete)
{
    ChatStreamReader cut;
    cut.Feed("data: " + Piece("half") + "\n\ndata: " + Piece(" more"));  // the last event without its blank line
    cut.Finish();
    EXPECT_EQ(cut.Text(), u"half more");
    EXPECT_FALSE(cut.Complete());

    ChatStreamReader failed;
    failed.Feed("data: " + Piece("a") + "\n\ndata: {\"error\":{\"message\":\"out of memory\"}}\n\n");
    failed.Feed("data: " + Piece("b") + "\n\n");
    EXPECT_EQ(failed.Text(), u"a");
    EXPECT_EQ(failed.Failure(), "the server says: out of memory");
}

} // namespace

// A data line that is whole JSON is read as its line ends, before the blank
// line that closes the event (which the HTTP port may hold back); an event
// whose JSON goes over two data lines is read when it closes.
TEST(ChatStreamReader, AnEventIsReadAsSoonAsItsJsonIsWhole)
{
    ChatStreamReader reader;
    EXPECT_TRUE(reader.Feed("data: " + Piece("ab") + "\n"));
    EXPECT_EQ(reader.Text(), u"ab");
    EXPECT_FALSE(reader.Feed("\ndata: {\"choices\":\ndata: [{\"delta\":{\"content\":\"cd\"}}]}\n"));
    EXPECT_TRUE(reader.Feed("\n"));
    EXPECT_EQ(reader.Text(), u"abcd");
    EXPECT_EQ(reader.UnreadableEvents(), 0u);
}
