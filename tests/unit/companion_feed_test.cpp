#include "companion/companion_clients.h"
#include "companion/line_feed.h"
#include "companion/websocket_frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kx;

namespace {

std::vector<std::string> TextsFor(const std::vector<FeedMessage>& messages, Endpoint endpoint)
{
    std::vector<std::string> texts;
    for (const FeedMessage& message : messages)
        if (message.endpoint == endpoint)
            texts.push_back(message.text);
    return texts;
}

} // namespace

TEST(LineFeedRules, EachEndpointGetsItsFormAndTheTranslationGoesOutOnceFinal)
{
    LineFeed feed;
    std::vector<FeedMessage> out;
    feed.Captured(7, u"「こんにちは」\r\n\"q\"", u"Game", out);
    feed.Shown(7, u"", u"d:draft", false, 0, out);
    feed.Shown(7, u"", u"안녕", true, 10, out);
    feed.Shown(7, u"", u"fixed", true, 20, out);  // a correction
    EXPECT_EQ(TextsFor(out, Endpoint::Source), std::vector<std::string>{"「こんにちは」\r\n\"q\""});
    EXPECT_EQ(TextsFor(out, Endpoint::Translation), std::vector<std::string>{"안녕"});
    EXPECT_EQ(TextsFor(out, Endpoint::Lines),
              (std::vector<std::string>{
                  R"({"id":7,"source":"「こんにちは」\r\n\"q\"","shown":"","final":false,"game":"Game"})",
                  R"({"id":7,"source":"「こんにちは」\r\n\"q\"","shown":"d:draft","final":false,"game":"Game"})",
                  R"({"id":7,"source":"「こんにちは」\r\n\"q\"","shown":"안녕","final":true,"game":"Game"})",
                  R"({"id":7,"source":"「こんにちは」\r\n\"q\"","shown":"fixed","final":true,"game":"Game"})"}));
}

// Streamed pieces at most every 100 ms a line, the newest one when its time
// comes; the final answer at once.
TEST(LineFeedRules, PiecesOfALineAreSpacedAndTheNewestIsSent)
{
    LineFeed feed;
    std::vector<FeedMessage> out;
    feed.Captured(1, u"s", u"", out);
    out.clear();
    feed.Shown(1, u"", u"a", false, 1000, out);
    feed.Shown(1, u"", u"ab", false, 1040, out);
    feed.Shown(1, u"", u"abc", false, 1080, out);
    EXPECT_EQ(out.size(), 1u);
    EXPECT_EQ(feed.NextDueMs(), 1100);
    feed.SendDue(1099, out);
    EXPECT_EQ(out.size(), 1u);
    feed.SendDue(1100, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_NE(out[1].text.find(R"("shown":"abc")"), std::string::npos);
    EXPECT_FALSE(feed.NextDueMs());
    feed.Shown(1, u"", u"abcd", false, 1150, out);
    feed.Shown(1, u"", u"whole", true, 1160, out);
    EXPECT_FALSE(feed.NextDueMs()) << "the final answer replaces the piece held";
    ASSERT_EQ(TextsFor(out, Endpoint::Lines).size(), 3u);
    EXPECT_EQ(TextsFor(out, Endpoint::Translation), std::vector<std::string>{"whole"});
}

TEST(LineFeedRules, TheBacklogIsTheLastLinesAsTheyStandNow)
{
    LineFeed feed;
    std::vector<FeedMessage> out;
    for (std::uint64_t id = 1; id <= LineFeed::kBacklogLines + 5; ++id)
        feed.Captured(id, u"s", u"", out);
    feed.Shown(LineFeed::kBacklogLines + 5, u"", u"t", true, 0, out);
    const std::vector<std::string> backlog = feed.Backlog();
    ASSERT_EQ(backlog.size(), LineFeed::kBacklogLines);
    EXPECT_EQ(backlog.front().rfind(R"({"id":6,)", 0), 0u);
    EXPECT_EQ(backlog.back(), R"({"id":205,"source":"s","shown":"t","final":true,"game":""})");
}

namespace {

constexpr char kUpgrade[] = "GET /lines HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";

std::string Upgrade(const std::string& path)
{
    std::string request = kUpgrade;
    request.replace(4, 6, path);
    return request;
}

// A masked client frame.
std::string ClientFrame(unsigned char opcode, const std::string& payload)
{
    std::string frame{static_cast<char>(0x80 | opcode), static_cast<char>(0x80 | payload.size())};
    const char mask[4] = {1, 2, 3, 4};
    frame.append(mask, 4);
    for (std::size_t i = 0; i < payload.size(); ++i)
        frame.push_back(static_cast<char>(payload[i] ^ mask[i % 4]));
    return frame;
}

struct ClientsFixture : ::testing::Test {
    LineFeed feed;
    CompanionClients clients{"<html>page</html>", CompanionClients::Limits{2, 1000}};

    std::string Answer(CompanionClients::ClientId id)
    {
        std::string answer(clients.Pending(id));
        clients.Sent(id, answer.size());
        return answer;
    }
};

} // namespace

TEST_F(ClientsFixture, ThePageTheFeedsAndARefusalForEverythingElse)
{
    const auto page = clients.Accept();
    clients.Received(page, "GET / HTTP/1.1\r\nHost: x\r\n\r\n", feed);
    const std::string answer = Answer(page);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 ", 0), 0u);
    EXPECT_NE(answer.find("\r\n\r\n<html>page</html>"), std::string::npos);
    EXPECT_EQ(clients.StateOf(page), CompanionClients::State::CloseWhenSent);
    clients.Remove(page);

    const std::pair<std::string, std::string> refused[] = {
        {"GET /other HTTP/1.1\r\n\r\n", "HTTP/1.1 404 "},
        {Upgrade("/"), "HTTP/1.1 404 "},
        {"POST / HTTP/1.1\r\n\r\n", "HTTP/1.1 404 "},
        {"GARBAGE\r\n\r\n", "HTTP/1.1 400 "},
        {std::string(9000, 'a'), "HTTP/1.1 400 "},
        {"GET /lines HTTP/1.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n", "HTTP/1.1 400 "},
    };
    for (const auto& [request, status] : refused) {
        const auto id = clients.Accept();
        clients.Received(id, request, feed);
        EXPECT_EQ(Answer(id).rfind(status, 0), 0u) << request.substr(0, 40);
        EXPECT_EQ(clients.StateOf(id), CompanionClients::State::CloseWhenSent);
        clients.Remove(id);
    }
}

// The backlog first, then each message to the clients of its feed only;
// what a client sends changes nothing but a ping's pong and a close's answer.
TEST_F(ClientsFixture, EachFeedGetsItsOwnMessagesAndWhatClientsSayIsIgnored)
{
    std::vector<FeedMessage> out;
    feed.Captured(1, u"old", u"", out);
    const auto lines = clients.Accept();
    const auto source = clients.Accept();
    clients.Received(lines, kUpgrade, feed);
    clients.Received(source, Upgrade("/source"), feed);
    const std::string linesUpgrade = Answer(lines);
    EXPECT_EQ(linesUpgrade.rfind("HTTP/1.1 101 ", 0), 0u);
    EXPECT_NE(linesUpgrade.find(TextFrame(R"({"id":1,"source":"old","shown":"","final":false,"game":""})")),
              std::string::npos);
    EXPECT_EQ(Answer(source).find(TextFrame("old")), std::string::npos) << "no past for /source";

    clients.Broadcast({{Endpoint::Source, "new"}, {Endpoint::Translation, "t"}});
    EXPECT_EQ(Answer(source), TextFrame("new"));
    EXPECT_EQ(Answer(lines), "");
    clients.Received(source, ClientFrame(1, "set translation off") + ClientFrame(9, "hi"), feed);
    EXPECT_EQ(Answer(source), PongFrame("hi"));
    EXPECT_EQ(clients.StateOf(source), CompanionClients::State::Open);
    clients.Received(source, ClientFrame(8, std::string("\x03\xe8", 2)), feed);
    EXPECT_EQ(Answer(source), CloseFrame(1000));
    EXPECT_EQ(clients.StateOf(source), CompanionClients::State::CloseWhenSent);
}

TEST_F(ClientsFixture, AClientOverTheLimitIsRefusedAndOneThatStopsReadingIsDropped)
{
    const auto first = clients.Accept();
    const auto second = clients.Accept();
    const auto third = clients.Accept();
    EXPECT_EQ(Answer(third).rfind("HTTP/1.1 503 ", 0), 0u);
    clients.Received(first, Upgrade("/source"), feed);
    clients.Received(second, Upgrade("/source"), feed);
    Answer(second);
    for (int i = 0; i < 20; ++i) {
        clients.Broadcast({{Endpoint::Source, std::string(100, 'x')}});
        Answer(second);  // it reads, the first does not
    }
    EXPECT_EQ(clients.StateOf(first), CompanionClients::State::Drop);
    EXPECT_EQ(clients.StateOf(second), CompanionClients::State::Open);
    clients.Remove(first);
    clients.Remove(third);
    EXPECT_EQ(clients.Served(), 1u);
    clients.CloseAll();
    EXPECT_EQ(Answer(second), CloseFrame(1001));
}

TEST(LineFeedRules, AHugeTextIsServedCutNeverInsideASurrogatePair)
{
    EXPECT_EQ(ServedText(u"short"), u"short");
    std::u16string huge(kMaxServedUnits - 1, u'x');
    huge += u"\U0001F600tail";
    EXPECT_EQ(ServedText(huge), std::u16string(kMaxServedUnits - 1, u'x')) << "the pair at the cut left out whole";
    EXPECT_EQ(ServedText(std::u16string(kMaxServedUnits + 5, u'y')).size(), kMaxServedUnits);
}
