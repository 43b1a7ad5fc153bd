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
        EXPECT_EQ(reader.Text(), "\xEC\x95\x88\xEB\x85\x95 \xED\x95\x98\xEC\x84\xB8\xEC\x9A\x94") << size;
        EXPECT_TRUE(reader.Complete()) << size;
        EXPECT_EQ(reader.Failure(), "") << size;
    }
}

TEST(ChatStreamReader, ADataLineAcrossTwoReadsCountsOnceWhole)
{
    ChatStreamReader reader;
    EXPECT_FALSE(reader.Feed("data: {\"choices\":[{\"delta\":{\"con"));
    EXPECT_TRUE(reader.Feed("tent\":\"ab\"}}]}\n\n"));
    EXPECT_EQ(reader.Text(), "ab");
    EXPECT_FALSE(reader.Complete());
}

TEST(ChatStreamReader, ANonStreamedAnswerIsReadWhenTheBodyEnds)
{
    ChatStreamReader reader;
    EXPECT_FALSE(reader.Feed(R"({"choices":[{"message":{"content":" whole "}}]})"));
    EXPECT_EQ(reader.Text(), "");
    reader.Finish();
    EXPECT_EQ(reader.Text(), "whole");
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
    EXPECT_EQ(cut.Text(), "half more");
    EXPECT_FALSE(cut.Complete());

    ChatStreamReader failed;
    failed.Feed("data: " + Piece("a") + "\n\ndata: {\"error\":{\"message\":\"out of memory\"}}\n\n");
    failed.Feed("data: " + Piece("b") + "\n\n");
    EXPECT_EQ(failed.Text(), "a");
    EXPECT_EQ(failed.Failure(), "the server says: out of memory");
}

} // namespace
