#include "capture/capture_pipeline.h"
#include "common/app_error.h"
#include "common/text.h"
#include "common/utf.h"
#include "fake_log_view.h"
#include "platform/posix/iconv_code_pages.h"
#include "translate/translation_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace kx;
using namespace std::chrono_literals;
using kx::testing::FakeLogView;

namespace {

// Counts the work posted to the UI thread; the test thread plays the UI
// thread and takes the turns itself.
class FakeUiThread : public UiThreadPort {
public:
    void Post(std::function<void()>) override
    {
        {
            std::lock_guard lock(mutex_);
            ++wakes_;
        }
        woken_.notify_all();
    }
    // Waits up to `timeout` for a wake-up and takes all that came.
    bool TakeWake(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex_);
        const bool woken = woken_.wait_for(lock, timeout, [this] { return wakes_ > 0; });
        wakes_ = 0;
        return woken;
    }

private:
    std::mutex mutex_;
    std::condition_variable woken_;
    int wakes_ = 0;
};

// Answers every text with "[" + text in the ezTrans engine's form, shown
// without its last letter; in a server's form (`serverForm`) shown whole. With
// the gate closed, each translation waits until the test opens it.
class EchoTranslator : public Translator {
public:
    Translation Translate(std::u16string_view text) override
    {
        std::unique_lock lock(mutex_);
        received.emplace_back(text);
        started_.notify_all();
        opened_.wait(lock, [this] { return gateOpen_; });
        ++returned_;
        returnedChanged_.notify_all();
        if (!failWith.empty())
            throw std::runtime_error(failWith);
        if (answerNothing)
            return {};
        const std::u16string answer = prefix + received.back();
        return {serverForm ? answer : ShownTranslation(answer + u"\r\n"), std::exchange(notice, {})};
    }
    // Tells `partial` each of `partials`, each once the test lets it
    // through, before it answers.
    Translation Translate(std::u16string_view text, const PartialAnswer& partial) override
    {
        for (const std::u16string& shown : partials) {
            {
                std::unique_lock lock(mutex_);
                pieceAllowed_.wait(lock, [this] { return piecesAllowed_ > 0; });
                --piecesAllowed_;
            }
            partial(shown + std::u16string(text.substr(0, 1)));
        }
        return Translate(text);
    }
    void AllowPieces(int pieces)
    {
        {
            std::lock_guard lock(mutex_);
            piecesAllowed_ += pieces;
        }
        pieceAllowed_.notify_all();
    }
    // The calls let through the gate have ended.
    void WaitUntilReturned(std::size_t calls)
    {
        std::unique_lock lock(mutex_);
        returnedChanged_.wait_for(lock, 5s, [&] { return returned_ >= calls; });
    }

    void CloseGate() { gateOpen_ = false; }
    void OpenGate()
    {
        {
            std::lock_guard lock(mutex_);
            gateOpen_ = true;
        }
        opened_.notify_all();
    }
    bool WaitUntilStarted(std::size_t calls)
    {
        std::unique_lock lock(mutex_);
        return started_.wait_for(lock, 5s, [&] { return received.size() >= calls; });
    }
    std::size_t Calls()
    {
        std::lock_guard lock(mutex_);
        return received.size();
    }

    std::chrono::milliseconds WaitLimit() const override { return limit; }
    bool MayHang() const override { return mayHang; }
    bool WantsFullStop() const override { return fullStop; }

    std::vector<std::u16string> received;
    bool answerNothing = false;
    std::string failWith;  // thrown by every call
    std::chrono::milliseconds limit = kEngineWaitLimit;
    bool mayHang = false;
    bool serverForm = false;
    bool fullStop = true;  // given texts with a full stop, as ezTrans is
    std::u16string prefix = u"[";  // of every answer
    std::u16string notice;  // goes with the next answer
    std::vector<std::u16string> partials;  // each with the text's first letter

private:
    std::mutex mutex_;
    std::condition_variable started_, opened_, returnedChanged_, pieceAllowed_;
    bool gateOpen_ = true;
    int piecesAllowed_ = 0;
    std::size_t returned_ = 0;
};

std::u16string Widen16(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

struct PipelineFixture : ::testing::Test {
    SinkOptions options;
    IconvCodePages codePages;
    FakeLogView view;
    EchoTranslator translator;
    FakeUiThread ui;
    CapturePipeline pipeline{codePages, view, translator, ui, AnsiLeadBytes::SingleByte()};

    void Read(std::string bytes, bool translate = true, int method = Ascii)
    {
        pipeline.Read(CapturedText{std::move(bytes), {}, method, options, translate, nullptr, {}});
    }
    // Takes the UI turn that was asked for, once everything read so far is
    // planned (texts go to the engine here).
    void Turn()
    {
        ASSERT_TRUE(pipeline.WaitUntilPlanned(5s));
        ASSERT_TRUE(ui.TakeWake(1s)) << "no turn asked for";
        pipeline.OnUiTurn();
    }
    // Takes UI turns until everything read is shown.
    void RunUntilShown()
    {
        ASSERT_TRUE(pipeline.WaitUntilPlanned(5s));
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        do {
            if (ui.TakeWake(50ms))
                pipeline.OnUiTurn();
        } while (pipeline.Busy() && std::chrono::steady_clock::now() < deadline);
        ASSERT_FALSE(pipeline.Busy()) << "texts never shown";
    }
};

TEST_F(PipelineFixture, DirectTextsAreConvertedWithTheCharacterSetAndNulsDropped)
{
    Read("\x82\xA0\x82\xA2", false);
    Read(std::string("A\0B", 3), false);
    Read("4100 4200 ", false, HexSequential);  // decodes to A, NUL, B, NUL
    Read("", false);
    RunUntilShown();
    EXPECT_EQ(view.text, u"あい\r\nAB\r\nAB\r\n");
    EXPECT_TRUE(translator.received.empty());
}

TEST_F(PipelineFixture, AHugeTextIsShownInPiecesOneATurnAndWhatFollowsStaysBehindIt)
{
    std::string huge(CapturePipeline::kUnitsPerTurn * 5 / 2, 'x');
    huge.back() = 'y';
    Read("before", false);
    Read(huge, false);
    Read("after", false);
    Turn();
    EXPECT_EQ(view.text, u"before\r\n");
    Turn();  // the first piece, behind it
    EXPECT_EQ(view.text.size(), std::u16string(u"before\r\n").size() + CapturePipeline::kUnitsPerTurn + 2);
    EXPECT_EQ(view.reserved, std::u16string(u"before\r\n").size() + huge.size() + 2);  // room for all of it at once
    RunUntilShown();
    EXPECT_EQ(view.text, u"before\r\n" + std::u16string(huge.begin(), huge.end()) + u"\r\nafter\r\n");
}

TEST_F(PipelineFixture, UnicodeTextNeedsNoCodePageAndLosesOnlyItsEmptyLines)
{
    options.Codepage = 1252;  // not used for it
    pipeline.Read(CapturedText{{}, u"\u3053\u2665\U0001F600\r\n\r\nX\r\nY", UnicodeText, options, false, nullptr, {}});
    pipeline.Read(CapturedText{{}, u"\uD55C\uAE00", UnicodeText, options, true, nullptr, {}});
    RunUntilShown();
    EXPECT_EQ(view.text, u"\u3053\u2665\U0001F600X\r\nY\r\n[\uD55C\uAE00\r\n");
    EXPECT_EQ(translator.received, std::vector<std::u16string>{u"\uD55C\uAE00."});
}

TEST_F(PipelineFixture, FiltersAndSubstitutionsCleanEachTextBeforeTheSinkAndEachAnswerAfter)
{
    auto filters = std::make_shared<TextFilterSettings>();
    filters->RepeatChars = 1;
    filters->SkipRepeat = 1;
    filters->before = {{u"Taro", u"T"}};
    filters->after = {{u"[", u"<"}};
    const auto read = [&](const std::string& bytes, bool translate,
                          std::shared_ptr<const TextFilterSettings> with) {
        pipeline.Read(CapturedText{bytes, {}, Ascii, options, translate, std::move(with), {}});
    };
    read("TTaarroo", false, filters);  // letters collapsed, then substituted
    read("Taro", false, filters);      // the same as the text before it: not shown
    read("Taro says", true, filters);  // translated: "before" on the text, "after" on the answer
    read("Taro says", false, nullptr); // read with no filters: as it is
    RunUntilShown();
    EXPECT_EQ(view.text, u"T\r\n<T says\r\nTaro says\r\n");
    EXPECT_EQ(translator.received, std::vector<std::u16string>{u"T says."});
}

TEST_F(PipelineFixture, TranslationGetsAFullStopAndShowsTheAnswerWithoutItsLastThreeUnits)
{
    Read("abc");
    RunUntilShown();
    ASSERT_EQ(translator.received, std::vector<std::u16string>{u"abc."});
    EXPECT_EQ(view.text, u"[abc\r\n");  // "[abc.\r\n" minus its last three units
}

TEST_F(PipelineFixture, FloodTrimmingAtTheLetterLimit)
{
    Read(std::string(200, 'x'));  // 201 letters with the full stop: 51 stay untranslated
    Read(std::string(149, 'y'));  // 150 letters: nothing trimmed
    options.FloodChk = 2;         // trimming only when exactly 1
    options.Flood = 1;
    Read("abcd");
    RunUntilShown();
    ASSERT_EQ(translator.received.size(), 3u);
    EXPECT_EQ(translator.received[0], std::u16string(149, u'x') + u".");
    EXPECT_EQ(translator.received[1].size(), 150u);
    EXPECT_EQ(translator.received[2], u"abcd.");
    EXPECT_EQ(view.text, std::u16string(51, u'x') + u"\r\n[" + std::u16string(149, u'x') + u"\r\n[" +
                             std::u16string(149, u'y') + u"\r\n[abcd\r\n");
}

TEST_F(PipelineFixture, ZeroOrNegativeLimitShowsEverythingUntranslatedAndSendsNothing)
{
    for (int limit : {0, -5}) {
        options.Flood = limit;
        Read("ab");
    }
    RunUntilShown();
    EXPECT_EQ(view.text, u"ab.\r\nab.\r\n");
    EXPECT_EQ(translator.received, (std::vector<std::u16string>{u"", u""}));
}

TEST_F(PipelineFixture, EmptyAnswerShowsNothing)
{
    translator.answerNothing = true;
    Read("");
    RunUntilShown();
    EXPECT_EQ(translator.received, std::vector<std::u16string>{u"."});
    EXPECT_EQ(view.text, u"");
}

TEST_F(PipelineFixture, ReplaceModeWithFloodEndsWithTheTranslationOnly)
{
    options.uot = 1;
    options.Flood = 3;
    Read("abcdef");
    RunUntilShown();
    EXPECT_EQ(view.text, u"[ef");
}

TEST_F(PipelineFixture, TextsKeepTheirReadOrderWhateverTheEngineTakes)
{
    view.text = u"one\r\ntwo";
    translator.CloseGate();
    options.Flood = 3;
    Read("head-and-tail");  // flood head, then its translated tail
    Read("direct", false);  // read later: waits for the translation
    Turn();
    ASSERT_TRUE(translator.WaitUntilStarted(1));
    EXPECT_EQ(view.text, u"one\r\ntwo\r\nhead-and-ta") << "the head is shown at once";
    EXPECT_TRUE(pipeline.Busy());
    translator.OpenGate();
    RunUntilShown();
    EXPECT_EQ(view.text, u"one\r\ntwo\r\nhead-and-ta\r\n[il\r\ndirect");
}

TEST_F(PipelineFixture, SwitchesChangedWhileTextsWaitActOnlyOnLaterTexts)
{
    view.text = u"one\r\ntwo";
    translator.CloseGate();
    Read("first");  // translated, with no empty line
    Turn();
    ASSERT_TRUE(translator.WaitUntilStarted(1));
    options.Ancete = 1;  // the user changes the options, then Translation off
    Read("second", false);
    translator.OpenGate();
    RunUntilShown();
    EXPECT_EQ(view.text, u"one\r\ntwo\r\n[first\r\n\r\nsecond");
    EXPECT_EQ(translator.received, std::vector<std::u16string>{u"first."});
}

TEST_F(PipelineFixture, ABadTextShowsItsErrorAfterTheRestOfTheBurstIsShown)
{
    Read("82G0 ", false, HexSequential);
    Read("after", false);
    ASSERT_TRUE(pipeline.WaitUntilPlanned(5s));
    ASSERT_TRUE(ui.TakeWake(1s));
    try {
        pipeline.OnUiTurn();
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "'$G0' is not a valid integer value");
    }
    EXPECT_EQ(view.text, u"after\r\n");
    EXPECT_FALSE(pipeline.Busy());
}

TEST_F(PipelineFixture, StopWaitsForTheCallInProgressAndDropsTheRest)
{
    translator.CloseGate();
    Read("in progress");
    Read("waiting one");
    Read("waiting two");
    Turn();
    ASSERT_TRUE(translator.WaitUntilStarted(1));
    std::thread closing([this] { pipeline.Stop(); });
    std::this_thread::sleep_for(20ms);
    translator.OpenGate();
    closing.join();
    EXPECT_EQ(translator.Calls(), 1u);
    Read("after closing");
    pipeline.OnUiTurn();
    EXPECT_EQ(translator.Calls(), 1u);
    EXPECT_EQ(view.text, u"");
    EXPECT_FALSE(pipeline.Busy());
}

TEST_F(PipelineFixture, AFailedTranslationShowsItsTextUntranslatedWithOneReasonLinePerTenSeconds)
{
    translator.failWith = "out of memory";
    Read("one");
    Read("two");
    RunUntilShown();
    EXPECT_EQ(view.text, u"one.\r\nTranslation failed: out of memory\r\ntwo.\r\n");
}

TEST_F(PipelineFixture, TextsThatWaitedLongerThanTheEngineAllowsAreShownUntranslated)
{
    translator.limit = 100ms;
    translator.CloseGate();
    Read("slow");
    Read("behind one");
    Read("behind two");
    Turn();
    ASSERT_TRUE(translator.WaitUntilStarted(1));
    std::this_thread::sleep_for(250ms);
    translator.OpenGate();
    RunUntilShown();
    EXPECT_EQ(translator.Calls(), 1u);
    EXPECT_EQ(view.text, u"[slow\r\nbehind one.\r\nbehind two.\r\n" + BehindLine(2) + u"\r\n");
}

TEST_F(PipelineFixture, ClearTextDropsWhatWasReadBeforeIt)
{
    translator.CloseGate();
    Read("before the clear");
    Turn();
    ASSERT_TRUE(translator.WaitUntilStarted(1));
    pipeline.Clear();
    translator.OpenGate();
    Read("after the clear", false);
    RunUntilShown();
    EXPECT_EQ(view.text, u"after the clear\r\n");
}

TEST_F(PipelineFixture, ATextOverOneMebibyteGoesToTheEngineCutWithALineSayingSo)
{
    options.FloodChk = 0;
    Read(std::string(CapturePipeline::kMaxUnitsTranslated + 10, 'a'));
    RunUntilShown();
    ASSERT_EQ(translator.received.size(), 1u);
    EXPECT_EQ(translator.received[0].size(), CapturePipeline::kMaxUnitsTranslated);
    EXPECT_TRUE(view.text.starts_with(std::u16string(CapturePipeline::kTextCutLine) + u"\r\n[aaa"));
}

TEST_F(PipelineFixture, ABurstBecomesOneEditOfTheView)
{
    view.text = u"one\r\ntwo";
    for (int i = 0; i < 300; ++i)
        Read("line " + std::to_string(i), false);
    RunUntilShown();
    EXPECT_EQ(view.inserts, 1);
    EXPECT_TRUE(view.text.ends_with(u"\r\nline 298\r\nline 299"));
}

TEST_F(PipelineFixture, TextsReadOnAnotherThreadAreShownInReadOrder)
{
    // The clipboard reader runs on its own thread while the UI takes turns.
    std::atomic<bool> readerDone{false};
    std::thread reader([&] {
        for (int i = 0; i < 200; ++i) {
            CapturedText text{"line " + std::to_string(i), {}, Ascii, options, i % 3 == 0, nullptr, {}};
            if (i == 100)
                text.failure = "Cannot open clipboard";
            pipeline.Read(std::move(text));
        }
        readerDone = true;
    });
    int failures = 0;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline && (!readerDone || pipeline.Busy())) {
        if (ui.TakeWake(5ms)) {
            try {
                pipeline.OnUiTurn();
            } catch (const AppError& e) {
                EXPECT_STREQ(e.what(), "Cannot open clipboard");
                ++failures;
            }
        }
    }
    reader.join();
    ASSERT_FALSE(pipeline.Busy());
    EXPECT_EQ(failures, 1);
    std::u16string expected;
    for (int i = 0; i < 200; ++i)
        if (i != 100)
            expected += (i % 3 == 0 ? u"[line " : u"line ") + Widen16(std::to_string(i)) + u"\r\n";
    EXPECT_EQ(view.text, expected);
}

} // namespace

// An engine call that never returns stops that engine for the run: the text
// and every later one for it show untranslated, the other engine goes on, and
// closing does not wait for the call.
TEST(PipelineHungEngine, StoppedForTheRunWhileTheOtherEngineGoesOn)
{
    // Outlives the test: the call left inside it returns after the pipeline is gone.
    static EchoTranslator hung;
    hung.mayHang = true;
    hung.limit = 100ms;
    hung.CloseGate();
    EchoTranslator server;
    server.serverForm = true;
    server.fullStop = false;
    SinkOptions options;
    IconvCodePages codePages;
    FakeLogView view;
    FakeUiThread ui;
    auto pipeline = std::make_unique<CapturePipeline>(codePages, view, std::vector<Translator*>{&hung, &server}, ui,
                                                      AnsiLeadBytes::SingleByte());
    std::vector<EngineId> stopped;
    pipeline->SetOnEngineStopped([&](EngineId engine) { stopped.push_back(engine); });
    const auto read = [&](const std::string& bytes, EngineId engine) {
        CapturedText text{bytes, {}, Ascii, options, true, nullptr, {}};
        text.engines.main = engine;
        pipeline->Read(std::move(text));
    };
    read("stuck", 0);
    read("next", 0);
    read("asked", 1);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    do {
        if (ui.TakeWake(50ms))
            pipeline->OnUiTurn();
    } while (pipeline->Busy() && std::chrono::steady_clock::now() < deadline);
    ASSERT_FALSE(pipeline->Busy());
    EXPECT_EQ(view.text, u"stuck.\r\nTranslation Engine stopped answering\r\nnext.\r\n[asked\r\n");
    EXPECT_EQ(stopped, std::vector<EngineId>{0});
    EXPECT_EQ(hung.Calls(), 1u);
    EXPECT_FALSE(pipeline->Stop(50ms));
    pipeline.reset();
    hung.OpenGate();
    hung.WaitUntilReturned(1);
}

// A server answers in its own form: the text as sent (no full stop), the
// answer shown whole, and a failure's reason line behind the text it is
// about, even in replace mode.
TEST_F(PipelineFixture, NotesKeepTheirPlaceBetweenTextsAndAreAppendedInReplaceMode)
{
    translator.CloseGate();
    Read("before");
    pipeline.Note(u"Text source: lost the connection", options);
    Read("after", false);
    Turn();
    ASSERT_TRUE(translator.WaitUntilStarted(1));
    EXPECT_EQ(view.text, u"") << "the note waits behind the translation";
    translator.OpenGate();
    RunUntilShown();
    EXPECT_EQ(view.text, u"[before\r\nText source: lost the connection\r\nafter\r\n");

    options.uot = 1;
    Read("replaced", false);
    pipeline.Note(u"Text source: connected", options);
    RunUntilShown();
    EXPECT_EQ(view.text, u"replaced\r\nText source: connected");
}

TEST_F(PipelineFixture, AnAnswerBeingWrittenGrowsInPlaceAndTheWholeOneTakesItsPlace)
{
    translator.serverForm = true;
    translator.partials = {u"(", u"(("};
    options.Ancete = 1;
    Read("shown", false);
    Read("ab");
    Read("cd");
    translator.CloseGate();
    const auto turnsUntilShown = [&](std::u16string_view piece) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (view.text.find(piece) == std::u16string::npos && std::chrono::steady_clock::now() < deadline)
            if (ui.TakeWake(50ms))
                pipeline.OnUiTurn();
    };
    translator.AllowPieces(1);
    turnsUntilShown(u"(a");
    EXPECT_EQ(view.text, u"shown\r\n(a\r\n");
    translator.AllowPieces(1);
    turnsUntilShown(u"((a");
    // Written again in place; the second text is not started: nothing of it
    // shows before the first is whole.
    EXPECT_EQ(view.text, u"shown\r\n((a\r\n");
    EXPECT_EQ(view.rewrites, 1);
    translator.AllowPieces(2);
    translator.OpenGate();
    RunUntilShown();
    EXPECT_EQ(view.text, u"shown\r\n[ab.\r\n\r\n[cd.\r\n");
    EXPECT_GE(view.rewrites, 2);  // the second piece and the whole answer of the first text, at least
}

TEST(PipelineServerEngine, NoFullStopTheWholeAnswerAndTheNoticeBehindItsText)
{
    SinkOptions options;
    IconvCodePages codePages;
    FakeLogView view;
    EchoTranslator ezTrans;
    EchoTranslator server;
    server.serverForm = true;
    server.fullStop = false;
    FakeUiThread ui;
    CapturePipeline pipeline{codePages, view, {&ezTrans, &server}, ui, AnsiLeadBytes::SingleByte()};
    const auto read = [&](const std::string& bytes, EngineId engine) {
        CapturedText text{bytes, {}, Ascii, options, true, nullptr, {}};
        text.engines.main = engine;
        pipeline.Read(std::move(text));
    };
    const auto runUntilShown = [&] {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        do {
            if (ui.TakeWake(50ms))
                pipeline.OnUiTurn();
        } while (pipeline.Busy() && std::chrono::steady_clock::now() < deadline);
        ASSERT_FALSE(pipeline.Busy());
    };
    read("abc", 1);
    read("abc", 0);
    runUntilShown();
    EXPECT_EQ(server.received, std::vector<std::u16string>{u"abc"});
    EXPECT_EQ(ezTrans.received, std::vector<std::u16string>{u"abc."});
    EXPECT_EQ(view.text, u"[abc\r\n[abc\r\n");

    options.uot = 1;
    server.notice = u"Translation server: down";
    read("def", 1);
    runUntilShown();
    EXPECT_EQ(view.text, u"[def\r\nTranslation server: down");
}

namespace {

// Decodes as iconv does; a text that begins with "slow" waits until the test
// lets it through.
class GatedCodePages : public CodePagePort {
public:
    std::u16string ToWide(std::string_view bytes, int codePage) override
    {
        if (bytes.starts_with("slow")) {
            std::unique_lock lock(mutex_);
            entered_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return open_; });
        }
        return iconv_.ToWide(bytes, codePage);
    }
    std::string FromWide(std::u16string_view text, int codePage) override { return iconv_.FromWide(text, codePage); }
    bool WaitUntilEntered()
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 5s, [this] { return entered_; });
    }
    void Open()
    {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }

private:
    IconvCodePages iconv_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false, open_ = false;
};

// Records every piece inserted into the view.
class PieceRecordingView : public FakeLogView {
public:
    void InsertAt(std::size_t position, const std::u16string& inserted) override
    {
        pieces.push_back(inserted);
        FakeLogView::InsertAt(position, inserted);
    }
    std::vector<std::u16string> pieces;
};

} // namespace

TEST(PipelinePlanning, ClearTextDropsATextThatWasBeingDecodedAtTheTime)
{
    GatedCodePages codePages;
    FakeLogView view;
    EchoTranslator translator;
    FakeUiThread ui;
    CapturePipeline pipeline{codePages, view, translator, ui, AnsiLeadBytes::SingleByte()};
    const auto read = [&](const std::string& bytes) {
        pipeline.Read(CapturedText{bytes, {}, Ascii, SinkOptions{}, false, nullptr, {}});
    };
    read("slow text read before the clear");
    ASSERT_TRUE(codePages.WaitUntilEntered());
    pipeline.Clear();
    read("read after the clear");
    codePages.Open();
    ASSERT_TRUE(pipeline.WaitUntilPlanned(5s));
    while (ui.TakeWake(50ms))
        pipeline.OnUiTurn();
    EXPECT_EQ(view.text, u"read after the clear\r\n");
}

TEST(PipelinePieces, APieceNeverEndsInsideASurrogatePairOrALineBreak)
{
    IconvCodePages codePages;
    PieceRecordingView view;
    EchoTranslator translator;
    FakeUiThread ui;
    CapturePipeline pipeline{codePages, view, translator, ui, AnsiLeadBytes::SingleByte()};
    constexpr std::size_t kPiece = CapturePipeline::kUnitsPerTurn;
    // A pair right before the first boundary with a line feed on it; a CR LF
    // across the second.
    std::u16string text = std::u16string(kPiece - 2, u'x') + u"\U0001F600\nX";
    text += std::u16string(2 * kPiece - 1 - text.size(), u'y') + u"\r\nZ";
    pipeline.Read(CapturedText{{}, text, UnicodeText, SinkOptions{}, false, nullptr, {}});
    ASSERT_TRUE(pipeline.WaitUntilPlanned(5s));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (pipeline.Busy() && std::chrono::steady_clock::now() < deadline)
        if (ui.TakeWake(50ms))
            pipeline.OnUiTurn();
    ASSERT_EQ(view.pieces.size(), 3u);
    for (std::u16string piece : view.pieces) {
        if (piece.ends_with(u"\r\n"))
            piece.resize(piece.size() - 2);  // the log's closing line break
        EXPECT_FALSE(IsHighSurrogate(piece.back())) << "a pair cut in two";
        EXPECT_NE(piece.back(), u'\r') << "a CR LF cut in two";
    }
    EXPECT_EQ(view.text, text + u"\r\n");
}

TEST_F(PipelineFixture, TheProgramsOwnLinesNeverGoInsideAHugeTextStillShownInPieces)
{
    const std::string huge(CapturePipeline::kUnitsPerTurn * 3 / 2, 'x');
    pipeline.AddProgramLine(u"shown at once");
    EXPECT_EQ(view.text, u"shown at once\r\n");
    Read(huge, false);
    Read("read later", false);
    Turn();  // the first piece
    pipeline.AddProgramLine(u"Translation Engine Loaded");
    pipeline.AddProgramLine(u"a second line");
    RunUntilShown();
    EXPECT_EQ(view.text, u"shown at once\r\n" + std::u16string(huge.begin(), huge.end()) +
                             u"\r\nTranslation Engine Loaded\r\na second line\r\nread later\r\n");
}

TEST_F(PipelineFixture, AStreamedAnswerStaysOneLineWhileTheProgramsLinesWaitBehindIt)
{
    translator.serverForm = true;
    translator.partials = {u"(", u"(("};
    Read("ab");
    translator.AllowPieces(1);
    const auto turnsUntilShown = [&](std::u16string_view piece) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (view.text.find(piece) == std::u16string::npos && std::chrono::steady_clock::now() < deadline)
            if (ui.TakeWake(50ms))
                pipeline.OnUiTurn();
    };
    turnsUntilShown(u"(a");
    pipeline.AddProgramLine(u"Translation server: http://127.0.0.1/");
    EXPECT_EQ(view.text, u"(a\r\n");
    translator.AllowPieces(1);
    RunUntilShown();
    EXPECT_EQ(view.text, u"[ab.\r\nTranslation server: http://127.0.0.1/\r\n");
}

namespace {

// Engines of the test's own, known to the pipeline only by their place in
// its list: a draft, a main engine and a fallback, each answering in its
// own words.
struct PipelineRolesFixture : ::testing::Test {
    static constexpr EngineId kDraft = 0, kMain = 1, kFallback = 2;
    SinkOptions options;
    IconvCodePages codePages;
    FakeLogView view;
    EchoTranslator draft, main, fallback;
    FakeUiThread ui;
    std::unique_ptr<CapturePipeline> pipeline;

    void SetUp() override
    {
        draft.prefix = u"d:";
        main.prefix = u"main:";  // longer: each answer moves the lines behind it
        fallback.prefix = u"f:";
        for (EchoTranslator* engine : {&draft, &main, &fallback}) {
            engine->serverForm = true;
            engine->fullStop = false;
        }
        pipeline = std::make_unique<CapturePipeline>(
            codePages, view, std::vector<Translator*>{&draft, &main, &fallback}, ui, AnsiLeadBytes::SingleByte());
    }
    void Read(const std::string& bytes, EngineRoles roles)
    {
        CapturedText text{bytes, {}, Ascii, options, true, nullptr, {}};
        text.engines = roles;
        pipeline->Read(std::move(text));
    }
    // Takes UI turns until nothing read waits for an answer.
    void TurnsUntilIdle()
    {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (pipeline->Busy() && std::chrono::steady_clock::now() < deadline)
            if (ui.TakeWake(50ms))
                pipeline->OnUiTurn();
        ASSERT_FALSE(pipeline->Busy());
    }
    // Takes UI turns until the view shows `text` or nothing is left to show.
    void TurnsUntil(const std::u16string& text)
    {
        ASSERT_TRUE(pipeline->WaitUntilPlanned(5s));
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (view.text != text && (pipeline->Busy() || ui.TakeWake(0ms)) &&
               std::chrono::steady_clock::now() < deadline)
            if (ui.TakeWake(50ms))
                pipeline->OnUiTurn();
    }
};

} // namespace

TEST_F(PipelineRolesFixture, DraftsShowAtOnceInOrderAndEachMainAnswerTakesItsDraftsPlace)
{
    main.CloseGate();
    main.partials = {u"(("};  // each held until the pieces are allowed
    std::u16string drafts, answers;
    for (int i = 0; i < 30; ++i) {
        const std::string line = "line" + std::to_string(i);
        Read(line, {kMain, kDraft, std::nullopt, false});
        drafts += u"d:" + Widen16(line) + u"\r\n";
        answers += u"main:" + Widen16(line) + u"\r\n";
    }
    TurnsUntil(drafts);
    EXPECT_EQ(view.text, drafts) << "the drafts wait for no main answer";
    main.AllowPieces(30);
    main.OpenGate();
    TurnsUntil(answers);
    EXPECT_EQ(view.text, answers);
    EXPECT_FALSE(pipeline->Busy());
}

TEST_F(PipelineRolesFixture, KeptDraftsStayAboveTheirMainAnswers)
{
    main.CloseGate();
    Read("ab", {kMain, kDraft, std::nullopt, true});
    Read("cd", {kMain, kDraft, std::nullopt, true});
    TurnsUntil(u"d:ab\r\nd:cd\r\n");
    EXPECT_EQ(view.text, u"d:ab\r\nd:cd\r\n");
    main.OpenGate();
    TurnsUntil(u"d:ab\r\nmain:ab\r\nd:cd\r\nmain:cd\r\n");
    EXPECT_EQ(view.text, u"d:ab\r\nmain:ab\r\nd:cd\r\nmain:cd\r\n");
}

// The fallback answers for a main engine that failed; without one the
// draft stays; the reason line comes as without either.
TEST_F(PipelineRolesFixture, AFailedMainAnswerGivesWayToTheFallbackElseTheDraftStays)
{
    main.failWith = "down";
    Read("ab", {kMain, kDraft, kFallback, false});
    Read("cd", {kMain, std::nullopt, kFallback, false});
    Read("ef", {kMain, kDraft, std::nullopt, false});
    const std::u16string expected = u"f:ab\r\nTranslation failed: down\r\nf:cd\r\nd:ef\r\n";
    TurnsUntil(expected);
    main.WaitUntilReturned(3);  // the draft shows before the main engine is asked
    TurnsUntilIdle();
    EXPECT_EQ(view.text, expected);
    EXPECT_EQ(main.Calls(), 3u);
    EXPECT_EQ(fallback.received, (std::vector<std::u16string>{u"ab", u"cd"}));
    ASSERT_TRUE(pipeline->CapturedLineAt(0));
    EXPECT_EQ(pipeline->CapturedLineAt(0)->line.engine, kFallback);
    const auto kept = pipeline->CapturedLineAt(view.text.find(u"d:ef"));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->line.engine, kDraft) << "the draft kept";
}

namespace {

struct FakeMemory : AnswerMemory {
    std::map<std::u16string, std::u16string> pairs;
    std::optional<std::u16string> Find(std::u16string_view source) const override
    {
        const auto found = pairs.find(std::u16string(source));
        return found == pairs.end() ? std::nullopt : std::optional(found->second);
    }
    void Remember(const std::u16string& source, const std::u16string& translation) override
    {
        pairs[source] = translation;
    }
};

} // namespace

// A line the memory holds is shown from it, no engine asked, not even the
// draft; only the main engine's whole answers go into it, without the full
// stop ezTrans is given.
TEST_F(PipelineRolesFixture, TheMemoryAnswersWhatItHoldsAndKeepsOnlyTheMainEnginesWholeAnswers)
{
    FakeMemory memory;
    memory.pairs[u"known"] = u"from memory";
    pipeline->SetMemory(&memory);
    main.fullStop = true;
    Read("known", {kMain, kDraft, std::nullopt, false});
    Read("new", {kMain, kDraft, std::nullopt, false});
    TurnsUntil(u"from memory\r\nmain:new.\r\n");
    EXPECT_EQ(view.text, u"from memory\r\nmain:new.\r\n");
    EXPECT_EQ(main.received, std::vector<std::u16string>{u"new."});
    ASSERT_TRUE(draft.WaitUntilStarted(1));
    draft.WaitUntilReturned(1);
    EXPECT_EQ(draft.received, std::vector<std::u16string>{u"new"});
    main.failWith = "down";
    Read("failed", {kMain, std::nullopt, kFallback, false});
    TurnsUntil(u"from memory\r\nmain:new.\r\nf:failed\r\nTranslation failed: down\r\n");
    EXPECT_EQ(memory.pairs, (std::map<std::u16string, std::u16string>{{u"known", u"from memory"}, {u"new", u"main:new."}}));
}

namespace {

struct FakeHistory : LineHistory {
    std::vector<std::pair<std::u16string, std::u16string>> lines;
    void LineShown(const std::u16string& source, const std::u16string& shown) override { lines.emplace_back(source, shown); }
};

} // namespace

// Each captured line once it is whole (a draft's line when its answer has
// taken its place), with its source; no line of the program's own.
TEST_F(PipelineRolesFixture, TheHistoryHasEachCapturedLineOnceItIsWhole)
{
    FakeHistory history;
    pipeline->SetHistory(&history);
    main.CloseGate();
    Read("ab", {kMain, kDraft, std::nullopt, false});
    pipeline->Note(u"Text source: connected", options);
    CapturedText plain{"cd", {}, Ascii, options, false, nullptr, {}};
    pipeline->Read(std::move(plain));
    TurnsUntil(u"d:ab\r\nText source: connected\r\ncd\r\n");
    EXPECT_EQ(history.lines, (std::vector<std::pair<std::u16string, std::u16string>>{{u"cd", u"cd"}}));
    main.OpenGate();
    TurnsUntil(u"main:ab\r\nText source: connected\r\ncd\r\n");
    EXPECT_EQ(history.lines,
              (std::vector<std::pair<std::u16string, std::u16string>>{{u"cd", u"cd"}, {u"ab", u"main:ab"}}));
    // A capture shown in pieces is no game line.
    const std::string huge(CapturePipeline::kUnitsPerTurn + 1, 'x');
    pipeline->Read(CapturedText{huge, {}, Ascii, options, false, nullptr, {}});
    TurnsUntil(u"main:ab\r\nText source: connected\r\ncd\r\n" + std::u16string(huge.begin(), huge.end()) + u"\r\n");
    EXPECT_FALSE(pipeline->Busy());
    EXPECT_EQ(history.lines.size(), 2u);
}

// The line under the mouse is known by what it came from; a correction takes
// its place in the view and goes into the memory for its source. A line of
// the program's own is no captured line.
TEST_F(PipelineRolesFixture, ACapturedLineIsFoundByItsPlaceAndCorrectedInPlace)
{
    FakeMemory memory;
    pipeline->SetMemory(&memory);
    Read("ab", {kMain, std::nullopt, std::nullopt, false});
    pipeline->Note(u"Text source: connected", options);
    Read("cd", {kMain, std::nullopt, std::nullopt, false});
    TurnsUntil(u"main:ab\r\nText source: connected\r\nmain:cd\r\n");
    const std::size_t second = view.text.find(u"main:cd") + 3;
    const std::optional<CapturePipeline::LineInView> found = pipeline->CapturedLineAt(second);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->line.source, u"cd");
    EXPECT_EQ(found->line.shown, u"main:cd");
    EXPECT_EQ(found->line.engine, kMain);
    EXPECT_FALSE(pipeline->CapturedLineAt(view.text.find(u"Text source")));
    EXPECT_FALSE(pipeline->CorrectLine(*found, u"")) << "an empty correction is no line";
    EXPECT_TRUE(pipeline->CorrectLine(*found, u"고친 줄"));
    EXPECT_EQ(view.text, u"main:ab\r\nText source: connected\r\n고친 줄\r\n");
    EXPECT_EQ(memory.pairs.at(u"cd"), u"고친 줄");
    EXPECT_EQ(pipeline->CapturedLineAt(view.text.size() - 3)->line.shown, u"고친 줄");
}

// "Translate again": the newest line asked anew of the main engine (past
// what the engine keeps), the answer in its place and in the memory; a
// failure leaves the line as it was.
TEST_F(PipelineRolesFixture, ALineTranslatedAgainTakesTheNewAnswerInPlaceAndAFailureLeavesIt)
{
    FakeMemory memory;
    pipeline->SetMemory(&memory);
    Read("ab", {kMain, std::nullopt, std::nullopt, false});
    pipeline->Note(u"Text source: connected", options);
    TurnsUntil(u"main:ab\r\nText source: connected\r\n");
    main.prefix = u"again:";
    const std::optional<CapturePipeline::LineInView> newest = pipeline->NewestCapturedLine();
    ASSERT_TRUE(newest);
    pipeline->Retranslate(*newest, {kMain, std::nullopt, std::nullopt, false}, nullptr);
    TurnsUntil(u"again:ab\r\nText source: connected\r\n");
    EXPECT_EQ(view.text, u"again:ab\r\nText source: connected\r\n");
    EXPECT_EQ(memory.pairs.at(u"ab"), u"again:ab");
    main.failWith = "down";
    pipeline->Retranslate(*pipeline->NewestCapturedLine(), {kMain, std::nullopt, std::nullopt, false}, nullptr);
    TurnsUntil(u"again:ab\r\nText source: connected\r\nTranslation failed: down\r\n");
    EXPECT_EQ(view.text, u"again:ab\r\nText source: connected\r\nTranslation failed: down\r\n");
    EXPECT_EQ(main.received, (std::vector<std::u16string>{u"ab", u"ab", u"ab"}));
}

namespace {

struct RecordingListener : LineListener {
    std::vector<std::string> events;  // "captured 1 ab", "shown 1 d:ab ..."
    void LineCaptured(std::uint64_t id, const std::u16string& source) override
    {
        events.push_back("captured " + std::to_string(id) + " " + Utf8FromUtf16(source));
    }
    void LineShown(std::uint64_t id, const std::u16string&, const std::u16string& shown, bool final) override
    {
        events.push_back("shown " + std::to_string(id) + " " + Utf8FromUtf16(shown) + (final ? " final" : ""));
    }
};

} // namespace

// One id a captured line, from its capture through its draft to the answer in
// its place and a correction; nothing for the program's own lines.
TEST_F(PipelineRolesFixture, TheLineListenerFollowsEachCapturedLineUnderOneId)
{
    RecordingListener listener;
    pipeline->SetLineListener(&listener);
    main.CloseGate();
    Read("ab", {kMain, kDraft, std::nullopt, false});
    TurnsUntil(u"d:ab\r\n");
    pipeline->Note(u"Text source: connected", options);
    CapturedText plain{"cd", {}, Ascii, options, false, nullptr, {}};
    pipeline->Read(std::move(plain));
    TurnsUntil(u"d:ab\r\nText source: connected\r\ncd\r\n");
    main.OpenGate();
    TurnsUntil(u"main:ab\r\nText source: connected\r\ncd\r\n");
    const auto line = pipeline->CapturedLineAt(0);
    ASSERT_TRUE(line);
    ASSERT_TRUE(pipeline->CorrectLine(*line, u"fixed"));
    EXPECT_EQ(listener.events, (std::vector<std::string>{"captured 1 ab", "shown 1 d:ab", "captured 2 cd",
                                                          "shown 2 cd final", "shown 1 main:ab final",
                                                          "shown 1 fixed final"}));
}

// With both sources on, a line one gives and the other gives again within
// half a second is shown once; the same source repeating it is not an echo.
TEST(SourceEchoRules, ALineFromTheOtherSourceWithinHalfASecondIsShownOnce)
{
    SourceEcho echo;
    EXPECT_TRUE(echo.Pass(TextOrigin::WebSocket, u"a", 0));
    EXPECT_FALSE(echo.Pass(TextOrigin::Clipboard, u"a", 400));
    EXPECT_TRUE(echo.Pass(TextOrigin::Clipboard, u"a", 450)) << "its echo was taken";
    EXPECT_TRUE(echo.Pass(TextOrigin::Clipboard, u"b", 1000));
    EXPECT_TRUE(echo.Pass(TextOrigin::Clipboard, u"b", 1100)) << "the same source again";
    EXPECT_TRUE(echo.Pass(TextOrigin::WebSocket, u"c", 2000));
    EXPECT_TRUE(echo.Pass(TextOrigin::Clipboard, u"c", 2501)) << "too late to be its echo";
}
