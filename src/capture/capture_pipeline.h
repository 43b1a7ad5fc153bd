#pragma once
// From clipboard text to log view without the UI thread ever waiting: the
// reading thread only hands each text over; a planning thread decodes, cleans
// and plans it; the append follows on the UI thread's next turn, translation
// on the engine's own thread, and every text reaches the view in the order it
// was read.
#include "capture/append_log.h"
#include "capture/game_history.h"
#include "capture/line_listener.h"
#include "capture/source_echo.h"
#include "capture/text_decoding.h"
#include "capture/text_filters.h"
#include "capture/text_sink.h"
#include "platform/code_page_port.h"
#include "platform/log_view_port.h"
#include "platform/ui_thread_port.h"
#include "settings/app_settings.h"
#include "translate/engine_list.h"
#include "translate/engine_worker.h"
#include "translate/translation_memory.h"
#include "translate/translator.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kx {

// One clipboard text with the switches in force when it was read.
struct CapturedText {
    std::string bytes;    // the 8-bit text (every method but UnicodeText)
    std::u16string wide;  // the UTF-16 text (UnicodeText)
    int method = Ascii;
    SinkOptions options;
    bool translate = false;
    std::shared_ptr<const TextFilterSettings> filters;  // none: nothing cleaned
    std::string failure;  // not empty: the read failed with this message
    EngineRoles engines{};  // which engines translate it, and how
    // With two sources on: where it came from and when, to show a line both give once.
    std::optional<TextOrigin> origin{};
    std::int64_t readAtMs = 0;
};

class CapturePipeline {
public:
    // `engines` by their EngineId; each gets a thread of its own when first asked.
    CapturePipeline(CodePagePort& codePages, LogViewPort& view, std::vector<Translator*> engines, UiThreadPort& ui,
                    AnsiLeadBytes lead);
    CapturePipeline(CodePagePort& codePages, LogViewPort& view, Translator& translator, UiThreadPort& ui,
                    AnsiLeadBytes lead)
        : CapturePipeline(codePages, view, std::vector<Translator*>{&translator}, ui, lead)
    {
    }
    ~CapturePipeline();
    CapturePipeline(const CapturePipeline&) = delete;
    CapturePipeline& operator=(const CapturePipeline&) = delete;

    // Any thread (the clipboard reader): hands a text over and returns at
    // once, so that the reader is back for the next change; the planning
    // thread decodes and cleans it and asks for a turn. A text that fails to
    // decode is dropped and its error thrown on the UI thread's turn.
    void Read(CapturedText text);
    // Any thread: a line of the program's own (the text source's state),
    // shown after the texts read before it, appended also in replace mode.
    void Note(std::u16string line, SinkOptions options);
    // UI thread: a line of the program's own about what the user did or what
    // the program found (an engine chosen, a hotkey not registered). Shown
    // now, before the texts still to come; but never inside a text still
    // being written into the view (a huge text in pieces, an answer as it is
    // streamed): then right behind it, once it is whole.
    void AddProgramLine(std::u16string line);
    // Any thread: waits up to `wait` until every text handed over so far is
    // planned (queued for the UI thread, or dropped); true when it is.
    bool WaitUntilPlanned(std::chrono::milliseconds wait);
    // UI thread, when woken: decodes what was read, hands translations to the
    // engine thread and appends everything whose turn has come. A text that
    // fails to decode is dropped and its error thrown after the rest is done.
    void OnUiTurn();
    // UI thread: drops what has not started, waits up to `wait` for the
    // engine call in progress and ignores later reads. False when a call is
    // left inside an engine (see EngineWorker::Stop).
    bool Stop(std::chrono::milliseconds wait = kStopWait);
    // UI thread: what was read before is not shown, nor context for the
    // translation of what follows ("Clear text"), also a text being decoded
    // at the time.
    void Clear();
    // UI thread: the game's memory from now on (none: null). A text it holds
    // is shown from it without asking an engine; the main engine's whole
    // answers go into it.
    void SetMemory(AnswerMemory* memory) { memory_ = memory; }
    // UI thread: told of each captured line once it is shown whole (none: null).
    void SetHistory(LineHistory* history) { history_ = history; }
    // UI thread: runs each time a captured line is shown whole.
    void SetOnCapturedLine(std::function<void()> shown) { onCapturedLine_ = std::move(shown); }
    // UI thread: told of each captured line and of each change of what it shows (none: null).
    void SetLineListener(LineListener* listener) { lineListener_ = listener; }
    // A captured line as the view shows it, with the text it came from.
    struct ShownLine {
        std::u16string source;
        std::u16string shown;
        std::optional<EngineId> engine;  // whose answer it shows; none: untranslated, memory, correction
        std::uint64_t id = 0;            // as the line listener knows it
    };
    // UI thread: the captured line the view shows at `offset`, the newest of
    // those that show that text; nothing for a line of the program's own.
    // `start` and `text` tell where that line of the view stands and what it showed.
    struct LineInView {
        ShownLine line;
        std::size_t start = 0;
        std::u16string text;  // what the view showed there
    };
    std::optional<LineInView> CapturedLineAt(std::size_t offset) const;
    // UI thread: `corrected` in the place of the view's line at `start`
    // (as CapturedLineAt found it), and into the memory for its source.
    bool CorrectLine(const LineInView& line, const std::u16string& corrected);
    // UI thread: the newest captured line still in the view.
    std::optional<LineInView> NewestCapturedLine() const;
    // UI thread: the main engine of `engines` asked again for the line's
    // source, past what it and the memory keep; its answer takes the line's
    // place as it comes (growing, when the engine writes it in pieces) and
    // goes into the memory.
    void Retranslate(const LineInView& line, const EngineRoles& engines,
                     std::shared_ptr<const TextFilterSettings> filters);
    static constexpr std::size_t kShownLinesKept = 10000;
    // UI thread, once: an engine stopped answering for the run.
    void SetOnEngineStopped(std::function<void(EngineId)> stopped) { onEngineStopped_ = std::move(stopped); }
    // A text longer than this is shown in pieces, one a turn, so that the
    // window answers in between (a capture of many megabytes).
    static constexpr std::size_t kUnitsPerTurn = std::size_t{1} << 20;
    // A longer text goes to the engine cut to this length.
    static constexpr std::size_t kMaxUnitsTranslated = std::size_t{1} << 20;
    static constexpr const char16_t* kTextCutLine = u"This text is over 1 MiB: only its first 1 MiB is translated";

    // UI thread: something read is not shown yet.
    bool Busy() const;
    // An engine's thread, for work in turn with its texts (a test translation).
    EngineWorker& Worker(EngineId engine = 0) { return *workers_.at(engine); }
    // What runs on the UI thread when a turn is asked for (the owner may
    // space turns out); OnUiTurn itself when none is set. Set before the first read.
    void SetTurnScheduler(std::function<void()> scheduleTurn) { scheduleTurn_ = std::move(scheduleTurn); }

private:
    // A place in the log's order: text ready to show, or an engine answer to come.
    struct Slot {
        SinkOptions options;
        std::u16string text;
        std::uint64_t engineJob = 0;  // 0: ready; else the main engine's answer (or the fallback's) to come
        std::shared_ptr<const TextFilterSettings> filters;  // their "after" list goes over the answer
        std::size_t shownUnits = 0;  // of a text shown in pieces, those shown already
        std::u16string partial{};    // the answer as far as it is written, before the "after" list
        bool partialChanged = false; // not shown like this yet
        std::optional<RewritableLine> partialShown{};  // where the view shows it
        bool programLine = false;    // a line of the program's own, not a captured text
        // With a draft or a fallback:
        std::uint64_t draftJob = 0;            // the draft's answer still to come
        std::optional<EngineId> draftEngine{};
        std::optional<std::u16string> draft{}; // the draft's answer, cleaned, when it came whole
        bool keepDraft = false;                // the draft's line stays above the main answer
        std::optional<EngineId> fallback{};    // asked when the main engine fails
        std::u16string forEngine{};            // the text as planned for the engines, for the fallback
        bool fullStopAdded = false;            // ... with a full stop the planner added
        std::optional<std::u16string> answer{};  // the main answer, cleaned, waiting for the draft
        std::uint64_t mainJob = 0;             // the main engine's answer (not the fallback's)
        EngineId mainEngine = 0;
        EngineId askedEngine = 0;              // the engine engineJob waits for
        std::optional<EngineId> answeredBy{};  // whose answer the line shows once settled
        std::optional<std::u16string> source{};  // a captured line's, for the history; none: the program's
        bool cut = false;                      // only its first 1 MiB went to the engine: not kept in the memory
        bool answerFailed = false;
        std::uint64_t lineId = 0;              // the captured line this slot shows, for the line listener
        // Being written into the view (a piece or a partial answer shown):
        // nothing else goes into the view before it is whole.
        bool InProgress() const { return shownUnits != 0 || partialShown.has_value(); }
    };

    // A text decoded, cleaned and split into what is shown now and what the
    // engine gets; or the failure of its read or decoding.
    struct PlannedText {
        SinkOptions options;
        std::u16string shownNow;
        std::optional<std::u16string> forEngine;
        EngineRoles engines;
        bool fullStopAdded = false;  // forEngine ends with a full stop the planner added
        std::shared_ptr<const TextFilterSettings> filters;
        std::string failure;
        bool captured = false;  // a captured text's, not a line of the program's own
    };

    // What a reader handed over: a text to plan, or a line ready to show.
    struct Handed {
        std::optional<CapturedText> text;
        PlannedText note;
        std::uint64_t clears = 0;  // the Clear count when it was handed over
    };

    void RequestTurn();
    void Hand(Handed handed);
    void RunPlanner();
    // Nothing when the text decodes to nothing or the filters drop it.
    std::optional<PlannedText> Plan(CapturedText text);
    std::optional<PlannedText> PlanOrFailure(CapturedText text);
    void Place(PlannedText text);
    // An engine's answer (not a partial one) given to the line that waits
    // for it; its notice back.
    std::u16string TakeAnswer(Slot& slot, EngineWorker::Answer answer);
    // The main engine's whole answer into the memory, unless it may hold a
    // short piece the engine kept from the text before.
    void RememberMain(const Slot& slot, const EngineWorker::Answer& answer);
    // Asks `engine` for the slot's text; the slot waits for that answer.
    std::uint64_t Ask(EngineId engine, const Slot& slot, bool fresh = false);
    // The answer to show once the slot has all it waits for; nothing while it waits.
    static std::optional<std::u16string> Settled(const Slot& slot);
    void KeepShownLine(ShownLine line);
    // The line listener told of what a captured line's slot shows now.
    void TellShown(const Slot& slot, const std::u16string& shown, bool final);
    // The history told of a slot now shown whole.
    void Recorded(const Slot& slot, const std::u16string& shown);
    // Lines shown with their draft: the main answer as far as it came, or
    // whole in the draft's place.
    void ShowInPlace();
    // A line already in the view written again; the others there move with it.
    bool Rewrite(RewritableLine& line, const std::u16string& text);
    // What the line of a draft shown shows of the main answer so far.
    static std::u16string WithDraft(const Slot& slot, std::u16string answer);
    void ShowReady();
    // The next piece of a huge text at the front of the line.
    void ShowPiece(Slot& slot);
    // The answer at the front of the line as far as it is written, shown in
    // the place of what was shown of it before.
    void ShowPartial(Slot& slot);
    // The whole answer in the place of what was shown of it.
    void FinishPartial(Slot& slot);
    static std::u16string AfterSubstitutions(const Slot& slot, std::u16string answer);

    CodePagePort& codePages_;
    LogViewPort& view_;
    UiThreadPort& ui_;
    AnsiLeadBytes lead_;
    TextFilters filters_;    // the planning thread's own (they remember the text before)
    SourceEcho echo_;        // the planning thread's own
    mutable std::mutex readMutex_;
    std::condition_variable handedChanged_;  // a text handed over, planned, or the stop
    std::deque<Handed> handed_;     // guarded by readMutex_: in read order, not planned yet
    bool planning_ = false;         // guarded by readMutex_: the planner holds one
    std::uint64_t clears_ = 0;      // guarded by readMutex_
    std::deque<PlannedText> read_;  // guarded by readMutex_
    bool stopped_ = false;          // guarded by readMutex_
    std::thread planner_;           // started with the first text
    std::deque<Slot> waiting_;
    std::uint64_t lastJob_ = 0;
    std::atomic<bool> turnRequested_{false};
    std::function<void()> scheduleTurn_;
    std::function<void(EngineId)> onEngineStopped_;
    // Lines shown with their draft, waiting for the main answer to take its
    // place; in the order of the view.
    std::deque<Slot> inPlace_;
    std::vector<Translator*> engines_;
    std::vector<bool> heldPiece_;  // by engine: its last answer held a short piece back
    AnswerMemory* memory_ = nullptr;
    LineHistory* history_ = nullptr;
    std::function<void()> onCapturedLine_;
    LineListener* lineListener_ = nullptr;
    std::uint64_t lastLineId_ = 0;
    std::deque<ShownLine> shownLines_;  // the last kShownLinesKept captured lines shown, oldest first
    std::vector<std::unique_ptr<EngineWorker>> workers_;  // last: stopped before the rest goes
};

} // namespace kx
