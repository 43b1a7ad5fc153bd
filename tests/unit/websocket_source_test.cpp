#include "capture/reconnect_schedule.h"
#include "capture/websocket_message.h"
#include "capture/websocket_source.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace kx;
using namespace std::chrono_literals;

namespace {

TEST(WebSocketMessageText, JsonFieldsOrTheTextAsItStands)
{
    const std::pair<std::string, std::optional<std::u16string>> cases[] = {
        {"\xE3\x81\x82\xE3\x81\x84 plain", u"あい plain"},
        {R"({"sentence":"\u3042\n","process_path":"C:\\game.exe"})", u"あ\n"},
        {R"( {"text":"テキスト"})", u"テキスト"},
        {R"({"text":"second","sentence":"first"})", u"first"},
        {R"({"sentence":5,"text":"text wins over a number"})", u"text wins over a number"},
        {R"({"process_path":"C:\\game.exe"})", uR"({"process_path":"C:\\game.exe"})"},
        {R"(["sentence"])", uR"(["sentence"])"},
        {R"({"sentence":"unclosed)", uR"({"sentence":"unclosed)"},
        {"a\xFF" "b\xC3", u"a\uFFFDb\uFFFD"},
        {"\xED\xA0\x80|\xC0\x80", u"\uFFFD|\uFFFD"},  // a surrogate or an overlong form is no UTF-8 either
        {"{\"sentence\":\"\xFF\"}", u"{\"sentence\":\"\uFFFD\"}"},  // not JSON: shown as it stands
        {std::string("a\0b", 3), u"ab"},
        {R"({"text":"\u0000"})", std::nullopt},
        {"", std::nullopt},
        {R"({"sentence":""})", std::nullopt},
    };
    for (const auto& [message, want] : cases)
        EXPECT_EQ(TextOfMessage(message), want) << message;
}

TEST(WebSocketMessageText, UrlsTheSourceCanUse)
{
    for (const char* good : {"ws://127.0.0.1:6677", "WSS://example.org/api/ws/text/origin", "ws://h"})
        EXPECT_TRUE(IsWebSocketUrl(good)) << good;
    for (const char* bad : {"", "ws://", "ws:///path", "http://127.0.0.1:6677", "127.0.0.1:6677", "wss:/h"})
        EXPECT_FALSE(IsWebSocketUrl(bad)) << bad;
}

struct FakeClock : ClockPort {
    std::int64_t now = 5000;
    std::int64_t NowMs() override { return now; }
};

TEST(ReconnectScheduleRules, TriesEveryTwoSecondsAndTellsAFailureOnceUntilTheNextConnection)
{
    FakeClock clock;
    ReconnectSchedule schedule(clock);
    const std::string url = "ws://127.0.0.1:6677/?token=secret";
    EXPECT_EQ(schedule.WaitMs(), 0) << "the first try at once";
    EXPECT_EQ(schedule.Failed(url, "the connection was refused"),
              u"Text source: cannot connect to ws://127.0.0.1:6677/ (the connection was refused)");
    EXPECT_EQ(schedule.WaitMs(), 2000);
    clock.now += 1500;
    EXPECT_EQ(schedule.WaitMs(), 500);
    clock.now += 500;
    EXPECT_EQ(schedule.WaitMs(), 0);
    EXPECT_EQ(schedule.Failed(url, "the connection was refused"), std::nullopt) << "told once";
    clock.now += 2000;
    EXPECT_EQ(schedule.Connected(url), u"Text source: connected to ws://127.0.0.1:6677/");
    EXPECT_EQ(schedule.WaitMs(), 0);

    clock.now += 60000;
    EXPECT_EQ(schedule.Lost(url, "the server closed the connection"),
              u"Text source: lost the connection to ws://127.0.0.1:6677/ (the server closed the connection)");
    EXPECT_EQ(schedule.WaitMs(), 2000) << "not at once after a loss either";
    clock.now += 2000;
    EXPECT_EQ(schedule.Failed(url, "refused"), std::nullopt) << "the loss was the line going down";
    EXPECT_EQ(schedule.Connected(url), u"Text source: connected to ws://127.0.0.1:6677/");
    EXPECT_NE(schedule.Failed(url, "refused"), std::nullopt) << "a new failure after a connection";
}

TEST(ReconnectScheduleRules, ConnectionsDroppedWithinSecondsAreToldOnceAMinute)
{
    FakeClock clock;
    const std::string url = "ws://127.0.0.1:6677";
    const std::u16string connected = u"Text source: connected to ws://127.0.0.1:6677";
    const std::u16string lost = u"Text source: lost the connection to ws://127.0.0.1:6677 (closed)";
    {
        // A server that accepts and closes at once, tried again and again for three minutes.
        ReconnectSchedule schedule(clock);
        const std::int64_t start = clock.now;
        std::vector<std::pair<std::int64_t, std::u16string>> told;
        while (clock.now - start < 180000) {
            if (std::optional<std::u16string> line = schedule.Connected(url))
                told.emplace_back(clock.now - start, *line);
            clock.now += 10;
            if (std::optional<std::u16string> line = schedule.Lost(url, "closed"))
                told.emplace_back(clock.now - start, *line);
            EXPECT_EQ(schedule.WaitMs(), 2000) << "tried as often as ever";
            clock.now += schedule.WaitMs();
            EXPECT_EQ(schedule.Failed(url, "refused"), std::nullopt) << "a refusal between them is not told";
            clock.now += schedule.WaitMs();
        }
        // Every 4010 ms a try: the first one told, then the first a minute or more after the last told.
        const std::vector<std::pair<std::int64_t, std::u16string>> want = {
            {0, connected}, {10, lost}, {60150, connected}, {60160, lost}, {120300, connected}, {120310, lost}};
        EXPECT_EQ(told, want);
    }
    // A connection that held a minute was a working one: its loss is told,
    // though its making was not.
    ReconnectSchedule schedule(clock);
    EXPECT_EQ(schedule.Connected(url), connected);
    clock.now += 1000;
    EXPECT_EQ(schedule.Lost(url, "closed"), lost);
    clock.now += 2000;
    EXPECT_EQ(schedule.Connected(url), std::nullopt) << "the last one dropped within seconds";
    clock.now += 59999;
    EXPECT_EQ(schedule.Lost(url, "closed"), std::nullopt) << "short of a minute";
    clock.now += 2000;
    EXPECT_EQ(schedule.Connected(url), connected) << "a minute after the last one told";
    clock.now += 1000;
    EXPECT_EQ(schedule.Lost(url, "closed"), lost);
    clock.now += 2000;
    EXPECT_EQ(schedule.Connected(url), std::nullopt);
    clock.now += 60000;
    EXPECT_EQ(schedule.Lost(url, "closed"), lost) << "this one held a minute";
    clock.now += 2000;
    EXPECT_EQ(schedule.Connected(url), connected);
    clock.now += 1000;
    EXPECT_EQ(schedule.Lost(url, "closed"), lost);
    clock.now += 2000;
    EXPECT_EQ(schedule.Connected(url), std::nullopt);
    EXPECT_EQ(schedule.Failed(url, "refused"), std::nullopt);
}

TEST(ReconnectScheduleRules, NoticeThrottleTellsOncePerPeriod)
{
    FakeClock clock;
    NoticeThrottle throttle(clock, 60000);
    EXPECT_TRUE(throttle.Allow());
    clock.now += 59999;
    EXPECT_FALSE(throttle.Allow());
    clock.now += 1;
    EXPECT_TRUE(throttle.Allow());
    EXPECT_FALSE(throttle.Allow());
}

// --- the source's thread over a scripted port ------------------------------

struct SteadyClock : ClockPort {
    std::int64_t NowMs() override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

// What the test and the source's thread share, under one lock.
struct Script {
    std::mutex mutex;
    std::condition_variable changed;
    // Each Open takes the next: a failure text, or the messages of a
    // connection. A connection whose messages run out blocks until Shutdown.
    struct Step {
        std::string failure;
        std::vector<WebSocketMessage> messages;
    };
    std::deque<Step> steps;
    bool openBlocked = false;        // Open waits while true, until Shutdown
    bool heldAfterShutdown = false;  // a server that does not answer the close frame: Receive waits while true
    WebSocketMessage afterShutdown{WebSocketMessage::Kind::Closed, {}, "closed by us"};
    int opens = 0;
    int shutdowns = 0;
    int closed = 0;  // connections destroyed
    std::vector<std::u16string> texts, notices;

    template <typename Condition> bool WaitFor(Condition condition, std::chrono::milliseconds limit = 5s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, condition);
    }
    void Set(bool& flag, bool value)
    {
        std::lock_guard lock(mutex);
        flag = value;
        changed.notify_all();
    }
};

class ScriptedConnection : public WebSocketConnection {
public:
    explicit ScriptedConnection(Script& script) : script_(script) {}
    ~ScriptedConnection() override
    {
        std::lock_guard lock(script_.mutex);
        ++script_.closed;
        script_.changed.notify_all();
    }
    std::string Open() override
    {
        std::unique_lock lock(script_.mutex);
        ++script_.opens;
        script_.changed.notify_all();
        script_.changed.wait(lock, [this] { return !script_.openBlocked || shutDown_; });
        if (shutDown_)
            return "cancelled";
        if (script_.steps.empty())
            return "no more steps";
        Script::Step step = std::move(script_.steps.front());
        script_.steps.pop_front();
        messages_.assign(step.messages.begin(), step.messages.end());
        return step.failure;
    }
    WebSocketMessage Receive(std::size_t limitBytes) override
    {
        EXPECT_EQ(limitBytes, 4u << 20);
        std::unique_lock lock(script_.mutex);
        if (!messages_.empty()) {
            WebSocketMessage next = std::move(messages_.front());
            messages_.pop_front();
            return next;
        }
        script_.changed.wait(lock, [this] { return shutDown_ && !script_.heldAfterShutdown; });
        return script_.afterShutdown;
    }
    void Shutdown() override
    {
        std::lock_guard lock(script_.mutex);
        shutDown_ = true;
        ++script_.shutdowns;
        script_.changed.notify_all();
    }

private:
    Script& script_;
    std::deque<WebSocketMessage> messages_;
    bool shutDown_ = false;
};

class ScriptedPort : public WebSocketPort {
public:
    explicit ScriptedPort(Script& script) : script_(script) {}
    std::unique_ptr<WebSocketConnection> NewConnection(const std::string& url) override
    {
        EXPECT_EQ(url, "ws://hooker:6677");
        return std::make_unique<ScriptedConnection>(script_);
    }

private:
    Script& script_;
};

WebSocketMessage Text(std::string bytes) { return {WebSocketMessage::Kind::Text, std::move(bytes), {}}; }
WebSocketMessage Of(WebSocketMessage::Kind kind, std::string failure = {}) { return {kind, {}, std::move(failure)}; }

struct SourceFixture : ::testing::Test {
    Script script;
    std::unique_ptr<WebSocketSource> source;

    void Start(std::int64_t retryMs)
    {
        WebSocketSource::Handlers handlers{
            [this](std::u16string text) {
                std::lock_guard lock(script.mutex);
                script.texts.push_back(std::move(text));
                script.changed.notify_all();
            },
            [this](std::u16string line) {
                std::lock_guard lock(script.mutex);
                script.notices.push_back(std::move(line));
                script.changed.notify_all();
            }};
        WebSocketSource::Limits limits;
        limits.retryMs = retryMs;
        source = std::make_unique<WebSocketSource>(std::make_shared<ScriptedPort>(script),
                                                   std::make_shared<SteadyClock>(), std::move(handlers), limits);
        source->Start("ws://hooker:6677");
    }
};

TEST_F(SourceFixture, TextsInOrderAndEachStateChangeToldOnce)
{
    script.steps = {{"the connection was refused", {}},
                    {"the connection was refused", {}},
                    {{}, {Text("one"), Of(WebSocketMessage::Kind::Binary), Text(R"({"sentence":"two"})"),
                          Of(WebSocketMessage::Kind::TooLarge), Text(""), Of(WebSocketMessage::Kind::TooLarge),
                          Text("three"), Of(WebSocketMessage::Kind::Closed, "the connection was lost")}},
                    {"the connection was refused", {}},
                    {{}, {Text("four")}}};
    Start(1);
    ASSERT_TRUE(script.WaitFor([&] { return script.texts.size() == 4; }));
    source->Stop(1s);
    EXPECT_EQ(script.texts, (std::vector<std::u16string>{u"one", u"two", u"three", u"four"}));
    EXPECT_EQ(script.notices, (std::vector<std::u16string>{
                                  u"Text source: cannot connect to ws://hooker:6677 (the connection was refused)",
                                  u"Text source: connected to ws://hooker:6677",
                                  u"Text source: a message over 4 MiB was not shown",
                                  u"Text source: lost the connection to ws://hooker:6677 (the connection was lost)",
                                  // connected again within seconds of the loss: not told
                              }));
    EXPECT_EQ(script.shutdowns, 1) << "the open connection gets its close frame";
    EXPECT_EQ(script.closed, 5) << "every connection, opened or not";
}

TEST_F(SourceFixture, RetriesWaitForTheirTime)
{
    script.steps = {{"refused", {}}, {{}, {Text("late")}}};
    const auto started = std::chrono::steady_clock::now();
    Start(300);
    ASSERT_TRUE(script.WaitFor([&] { return script.texts.size() == 1; }));
    // The schedule counts whole milliseconds: the wait may end up to one short.
    EXPECT_GE(std::chrono::steady_clock::now() - started, 299ms);
    source->Stop(1s);
}

TEST_F(SourceFixture, StopEndsAConnectionStillOpening)
{
    script.openBlocked = true;
    script.steps = {{{}, {Text("too late")}}};
    Start(1);
    ASSERT_TRUE(script.WaitFor([&] { return script.opens == 1; }));
    source->Stop(5s);
    // The thread has ended within the wait, or the connection would still be there.
    EXPECT_EQ(script.closed, 1);
    EXPECT_EQ(script.shutdowns, 1);
    EXPECT_TRUE(script.texts.empty());
    EXPECT_TRUE(script.notices.empty());
}

TEST_F(SourceFixture, StopLeavesAConnectionThatWaitsForAnAnswerAndNothingIsCalledAfterIt)
{
    script.heldAfterShutdown = true;
    script.afterShutdown = Text("too late");
    script.steps = {{{}, {}}};
    Start(1);
    ASSERT_TRUE(script.WaitFor([&] { return script.notices.size() == 1; }));
    source->Stop(50ms);  // returns while the connection still waits
    EXPECT_FALSE(script.WaitFor([&] { return script.closed != 0; }, 0ms));
    script.Set(script.heldAfterShutdown, false);
    ASSERT_TRUE(script.WaitFor([&] { return script.closed == 1; })) << "the thread ends on its own";
    std::lock_guard lock(script.mutex);
    EXPECT_TRUE(script.texts.empty());
    EXPECT_EQ(script.notices, std::vector<std::u16string>{u"Text source: connected to ws://hooker:6677"});
}

} // namespace
