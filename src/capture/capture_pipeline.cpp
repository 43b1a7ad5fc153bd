#include "capture/capture_pipeline.h"

#include "capture/append_log.h"
#include "common/app_error.h"
#include "common/text.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace kx {
namespace {

// Where a piece of a huge text that may end at `end` ends: never between the
// halves of a surrogate pair or of a CR LF.
std::size_t PieceEnd(const std::u16string& text, std::size_t end)
{
    if (end >= text.size())
        return text.size();
    if (text[end] == u'\n' && text[end - 1] == u'\r')
        --end;
    else if (CutsPair(text, end))
        --end;
    return end;
}

// The text without the full stop the planner added for ezTrans, when it did.
std::u16string WithoutAddedFullStop(std::u16string text, bool added)
{
    if (added && !text.empty() && text.back() == u'.')
        text.pop_back();
    return text;
}

} // namespace

CapturePipeline::CapturePipeline(CodePagePort& codePages, LogViewPort& view, std::vector<Translator*> engines,
                                 UiThreadPort& ui, AnsiLeadBytes lead)
    : codePages_(codePages), view_(view), ui_(ui), lead_(lead), engines_(std::move(engines))
{
    for (Translator* engine : engines_)
        workers_.push_back(std::make_unique<EngineWorker>(*engine, [this] { RequestTurn(); }));
    heldPiece_.assign(engines_.size(), false);
}

CapturePipeline::~CapturePipeline()
{
    Stop();
}

void CapturePipeline::RequestTurn()
{
    // One wake-up for any number of requests until the turn is taken.
    if (!turnRequested_.exchange(true))
        ui_.Post([this] {
            if (scheduleTurn_)
                scheduleTurn_();
            else
                OnUiTurn();
        });
}

void CapturePipeline::Read(CapturedText text)
{
    Handed handed;
    handed.text = std::move(text);
    Hand(std::move(handed));
}

void CapturePipeline::Note(std::u16string line, SinkOptions options)
{
    options.uot = 0;
    Handed handed;
    handed.note.options = options;
    handed.note.shownNow = std::move(line);
    Hand(std::move(handed));
}

void CapturePipeline::Hand(Handed handed)
{
    bool plannerIdle = false;
    {
        std::lock_guard lock(readMutex_);
        if (stopped_)
            return;
        // A planner at work takes this text before it waits again: waking
        // it would cost the reader a round trip to the system under Wine.
        plannerIdle = handed_.empty() && !planning_;
        handed.clears = clears_;
        handed_.push_back(std::move(handed));
        if (!planner_.joinable())
            planner_ = std::thread([this] { RunPlanner(); });
    }
    if (plannerIdle)
        handedChanged_.notify_all();
}

// One text at a time, in the order handed over: the filters remember the
// text before, and the log shows texts in read order.
void CapturePipeline::RunPlanner()
{
    std::unique_lock lock(readMutex_);
    for (;;) {
        handedChanged_.wait(lock, [this] { return stopped_ || !handed_.empty(); });
        if (stopped_)
            return;
        Handed next = std::move(handed_.front());
        handed_.pop_front();
        planning_ = true;
        lock.unlock();
        std::optional<PlannedText> planned = next.text ? PlanOrFailure(std::move(*next.text)) : std::move(next.note);
        lock.lock();
        planning_ = false;
        const bool queued = planned && !stopped_ && next.clears == clears_;
        if (queued)
            read_.push_back(std::move(*planned));
        handedChanged_.notify_all();
        if (queued) {
            lock.unlock();
            RequestTurn();
            lock.lock();
        }
    }
}

std::optional<CapturePipeline::PlannedText> CapturePipeline::PlanOrFailure(CapturedText text)
{
    PlannedText failed;
    if (!text.failure.empty()) {
        failed.failure = std::move(text.failure);
        return failed;
    }
    try {
        return Plan(std::move(text));
    } catch (const std::exception& e) {
        failed.failure = e.what();
        return failed;
    }
}

bool CapturePipeline::WaitUntilPlanned(std::chrono::milliseconds wait)
{
    std::unique_lock lock(readMutex_);
    return handedChanged_.wait_for(lock, wait, [this] { return stopped_ || (handed_.empty() && !planning_); });
}

bool CapturePipeline::Busy() const
{
    std::lock_guard lock(readMutex_);
    return !handed_.empty() || planning_ || !read_.empty() || !waiting_.empty() || !inPlace_.empty();
}

void CapturePipeline::AddProgramLine(std::u16string line)
{
    if (line.empty())
        return;
    if (waiting_.empty() || !waiting_.front().InProgress()) {
        AppendLineToView(view_, line);
        return;
    }
    // Behind the text being written and the program's lines already waiting for it.
    auto place = waiting_.begin() + 1;
    while (place != waiting_.end() && place->programLine)
        ++place;
    Slot slot{waiting_.front().options, std::move(line), 0, nullptr};
    slot.programLine = true;
    waiting_.insert(place, std::move(slot));
}

void CapturePipeline::OnUiTurn()
{
    turnRequested_ = false;
    std::deque<PlannedText> read;
    {
        std::lock_guard lock(readMutex_);
        if (stopped_)
            return;
        read.swap(read_);
    }
    std::optional<std::string> failure;
    for (EngineId engine = 0; engine < workers_.size(); ++engine) {
        for (EngineWorker::Answer& answer : workers_[engine]->TakeAnswers()) {
            if (answer.stopped && onEngineStopped_)
                onEngineStopped_(engine);
            const auto waits = [&](const Slot& s) { return s.engineJob == answer.job || s.draftJob == answer.job; };
            std::deque<Slot>* in = &waiting_;
            auto slot = std::find_if(waiting_.begin(), waiting_.end(), waits);
            if (slot == waiting_.end()) {
                in = &inPlace_;
                slot = std::find_if(inPlace_.begin(), inPlace_.end(), waits);
                if (slot == inPlace_.end())
                    continue;  // cleared meanwhile, or not waited for any more
            }
            if (answer.partial) {
                // Cleaned when shown: a newer piece may take its place first.
                // A draft counts only whole.
                if (answer.job == slot->engineJob) {
                    slot->partial = std::move(answer.shown);
                    slot->partialChanged = true;
                }
                continue;
            }
            std::u16string notice = TakeAnswer(*slot, std::move(answer));
            if (notice.empty())
                continue;
            if (in == &inPlace_) {
                AddProgramLine(std::move(notice));  // its line is in the view already
                continue;
            }
            // The notice follows its text, appended even in replace mode, so
            // that the text it is about stays in view with it.
            SinkOptions appended = slot->options;
            appended.uot = 0;
            waiting_.insert(slot + 1, Slot{appended, std::move(notice), 0, nullptr});
        }
    }
    ShowInPlace();
    // Everything read so far, in one go: a burst becomes one edit of the view.
    for (PlannedText& text : read) {
        if (!text.failure.empty())
            failure = std::move(text.failure);
        else
            Place(std::move(text));
    }
    ShowReady();
    if (failure)
        throw AppError(*failure);
}

std::optional<CapturePipeline::PlannedText> CapturePipeline::Plan(CapturedText text)
{
    std::u16string decoded;
    if (text.method == UnicodeText) {
        decoded = DecodeUnicodeText(text.wide);
    } else {
        std::optional<std::string> bytes = DecodeByMethod(text.method, text.bytes, lead_);
        if (!bytes)
            return std::nullopt;
        decoded = ConvertDecoded(codePages_, *bytes, text.options.Codepage);
    }
    // Before the filters, which remember the text before: an echo is no text.
    if (text.origin && !echo_.Pass(*text.origin, decoded, text.readAtMs))
        return std::nullopt;
    if (text.filters) {
        std::optional<std::u16string> cleaned = filters_.Clean(*text.filters, std::move(decoded));
        if (!cleaned)
            return std::nullopt;
        decoded = std::move(*cleaned);
    }
    // The full stop is ezTrans's sentence end; an engine that needs none
    // gets the text without it.
    const EngineRoles& roles = text.engines;
    const auto wants = [this](std::optional<EngineId> engine) {
        return engine && *engine < engines_.size() && engines_[*engine]->WantsFullStop();
    };
    const bool fullStop = text.translate && (wants(roles.main) || wants(roles.draft) || wants(roles.fallback));
    SinkPlan plan = PlanTextSink(std::move(decoded), text.options, text.translate, fullStop);
    return PlannedText{text.options, std::move(plan.shownNow), std::move(plan.forEngine), roles, fullStop,
                       std::move(text.filters), {}, true};
}

void CapturePipeline::Place(PlannedText text)
{
    // A huge capture (shown in pieces) is no game line: copying it for the
    // history and the line list would hold the window up.
    const std::size_t units = text.shownNow.size() + (text.forEngine ? text.forEngine->size() : 0);
    const bool gameLine = text.captured && units <= kUnitsPerTurn;
    std::uint64_t lineId = 0;
    if (gameLine && lineListener_) {
        lineId = ++lastLineId_;
        lineListener_->LineCaptured(
            lineId, text.shownNow + WithoutAddedFullStop(text.forEngine.value_or(u""), text.fullStopAdded));
    }
    if (!text.shownNow.empty()) {
        Slot head{text.options, std::move(text.shownNow), 0, nullptr};
        if (gameLine)
            head.source = head.text;
        if (!text.forEngine)
            head.lineId = lineId;
        waiting_.push_back(std::move(head));
    }
    if (text.forEngine) {
        // The source as the memory knows it: without the full stop added for ezTrans.
        std::u16string source = WithoutAddedFullStop(*text.forEngine, text.fullStopAdded);
        if (memory_ && !source.empty()) {
            if (std::optional<std::u16string> known = memory_->Find(source)) {
                Slot slot{text.options, {}, 0, text.filters};
                slot.text = AfterSubstitutions(slot, std::move(*known));
                slot.source = std::move(source);
                slot.lineId = lineId;
                waiting_.push_back(std::move(slot));
                return;
            }
        }
        const bool cut = text.forEngine->size() > kMaxUnitsTranslated;
        if (cut) {
            text.forEngine->resize(PieceEnd(*text.forEngine, kMaxUnitsTranslated));
            SinkOptions appended = text.options;
            appended.uot = 0;
            waiting_.push_back(Slot{appended, kTextCutLine, 0, nullptr});
        }
        // Also an empty text goes to the engine thread: the adapter keeps
        // short pieces for the next text, in read order.
        EngineRoles roles = text.engines;
        const auto known = [this](std::optional<EngineId> engine) {
            return engine && *engine < workers_.size() ? engine : std::nullopt;
        };
        roles.main = known(roles.main).value_or(0);
        Slot slot{text.options, {}, 0, text.filters};
        slot.forEngine = std::move(*text.forEngine);
        slot.fullStopAdded = text.fullStopAdded;
        slot.draftEngine = known(roles.draft);
        slot.fallback = known(roles.fallback);
        slot.keepDraft = roles.keepDraft;
        slot.mainEngine = slot.askedEngine = roles.main;
        slot.engineJob = slot.mainJob = Ask(roles.main, slot);
        slot.cut = cut;
        slot.source = std::move(source);
        slot.lineId = lineId;
        if (slot.draftEngine)
            slot.draftJob = Ask(*slot.draftEngine, slot);
        if (!slot.fallback)
            slot.forEngine = {};  // nothing more to ask
        waiting_.push_back(std::move(slot));
    }
}

std::uint64_t CapturePipeline::Ask(EngineId engine, const Slot& slot, bool fresh)
{
    std::u16string text = WithoutAddedFullStop(slot.forEngine, slot.fullStopAdded && !engines_[engine]->WantsFullStop());
    const std::uint64_t job = ++lastJob_;
    workers_[engine]->Submit(job, std::move(text), fresh);
    return job;
}

std::u16string CapturePipeline::TakeAnswer(Slot& slot, EngineWorker::Answer answer)
{
    if (answer.job == slot.draftJob) {
        slot.draftJob = 0;
        // A draft that failed or holds nothing (a short piece held) shows nothing.
        if (!answer.failed && !answer.shown.empty())
            slot.draft = AfterSubstitutions(slot, std::move(answer.shown));
    } else if (answer.failed && slot.fallback && slot.fallback != slot.draftEngine) {
        // The fallback answers in the main engine's place; what was shown
        // of the main answer stays until its answer takes its place.
        slot.askedEngine = *std::exchange(slot.fallback, std::nullopt);
        slot.engineJob = Ask(slot.askedEngine, slot);
        slot.partial.clear();
        slot.partialChanged = false;
        return std::move(answer.notice);
    } else {
        if (answer.job == slot.mainJob)
            RememberMain(slot, answer);
        slot.fallback.reset();  // the draft engine as fallback: the draft is its answer
        slot.answer = AfterSubstitutions(slot, std::move(answer.shown));
        slot.answerFailed = answer.failed;
    }
    if (std::optional<std::u16string> text = Settled(slot)) {
        if (!slot.answerFailed)
            slot.answeredBy = slot.askedEngine;
        else if (slot.draft)
            slot.answeredBy = slot.draftEngine;
        slot.text = std::move(*text);
        slot.engineJob = 0;
        slot.draftJob = 0;  // a draft still to come is not waited for
        slot.forEngine = {};
    }
    return std::move(answer.notice);
}

void CapturePipeline::Recorded(const Slot& slot, const std::u16string& shown)
{
    if (!slot.source)
        return;
    if (history_)
        history_->LineShown(*slot.source, shown);
    KeepShownLine({*slot.source, shown, slot.answeredBy, slot.lineId});
    TellShown(slot, shown, true);
    if (onCapturedLine_)
        onCapturedLine_();
}

void CapturePipeline::TellShown(const Slot& slot, const std::u16string& shown, bool final)
{
    if (lineListener_ && slot.lineId != 0 && slot.source)
        lineListener_->LineShown(slot.lineId, *slot.source, shown, final);
}

void CapturePipeline::KeepShownLine(ShownLine line)
{
    shownLines_.push_back(std::move(line));
    if (shownLines_.size() > kShownLinesKept)
        shownLines_.pop_front();
}

std::optional<CapturePipeline::LineInView> CapturePipeline::CapturedLineAt(std::size_t offset) const
{
    const std::u16string text = view_.Text();
    if (offset > text.size())
        return std::nullopt;
    // The line of the view around `offset`, between line breaks.
    const std::size_t lineFeed = offset == 0 ? std::u16string::npos : text.rfind(u'\n', offset - 1);
    const std::size_t start = lineFeed == std::u16string::npos ? 0 : lineFeed + 1;
    std::size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string::npos)
        end = text.size();
    const std::u16string_view viewLine = std::u16string_view(text).substr(start, end - start);
    if (viewLine.empty())
        return std::nullopt;
    // A kept draft and its answer are one line of the log in two rows.
    for (auto line = shownLines_.rbegin(); line != shownLines_.rend(); ++line) {
        std::u16string_view shown = line->shown;
        while (!shown.empty()) {
            const std::size_t cut = shown.find(u"\r\n");
            if (shown.substr(0, cut) == viewLine)
                return LineInView{*line, start, std::u16string(viewLine)};
            shown = cut == std::u16string_view::npos ? std::u16string_view() : shown.substr(cut + 2);
        }
    }
    return std::nullopt;
}

std::optional<CapturePipeline::LineInView> CapturePipeline::NewestCapturedLine() const
{
    if (shownLines_.empty())
        return std::nullopt;
    const std::u16string text = view_.Text();
    const std::u16string& shown = shownLines_.back().shown;
    const std::u16string first = shown.substr(0, shown.find(u"\r\n"));
    // Its last place in the view where it stands as a whole line.
    for (std::size_t at = text.rfind(first); at != std::u16string::npos && !first.empty();
         at = at == 0 ? std::u16string::npos : text.rfind(first, at - 1)) {
        const std::size_t end = at + first.size();
        const bool starts = at == 0 || text[at - 1] == u'\n';
        const bool ends = end == text.size() || text[end] == u'\r' || text[end] == u'\n';
        if (starts && ends)
            return LineInView{shownLines_.back(), at, first};
    }
    return std::nullopt;
}

void CapturePipeline::Retranslate(const LineInView& line, const EngineRoles& engines,
                                  std::shared_ptr<const TextFilterSettings> filters)
{
    const EngineId main = engines.main < workers_.size() ? engines.main : 0;
    Slot slot{SinkOptions{}, {}, 0, std::move(filters)};
    slot.forEngine = line.line.source;
    slot.fullStopAdded = engines_[main]->WantsFullStop();
    if (slot.fullStopAdded)
        slot.forEngine.push_back(u'.');
    slot.mainEngine = slot.askedEngine = main;
    slot.source = line.line.source;
    slot.lineId = line.line.id;
    slot.draft = line.text;  // what stays when the engine fails
    // Looked for where it was when its answer comes: the view may change meanwhile.
    slot.partialShown = RewritableLine{line.start, line.text, std::numeric_limits<std::size_t>::max()};
    slot.engineJob = slot.mainJob = Ask(main, slot, true);
    slot.forEngine = {};
    inPlace_.push_back(std::move(slot));
}

bool CapturePipeline::CorrectLine(const LineInView& line, const std::u16string& corrected)
{
    // Looked for where it was: the view may have changed since.
    RewritableLine place{line.start, line.text, std::numeric_limits<std::size_t>::max()};
    if (corrected.empty() || !Rewrite(place, corrected))
        return false;
    KeepShownLine({line.line.source, corrected, std::nullopt, line.line.id});
    if (lineListener_ && line.line.id != 0)
        lineListener_->LineShown(line.line.id, line.line.source, corrected, true);
    if (memory_)
        memory_->Remember(line.line.source, corrected);
    return true;
}

void CapturePipeline::RememberMain(const Slot& slot, const EngineWorker::Answer& answer)
{
    if (answer.failed)
        return;
    if (answer.shown.empty()) {
        heldPiece_[slot.mainEngine] = true;  // the next answer may hold this text's piece too
        return;
    }
    const bool joined = heldPiece_[slot.mainEngine];
    heldPiece_[slot.mainEngine] = false;
    if (joined || !memory_ || slot.cut || !slot.source)
        return;
    memory_->Remember(*slot.source, answer.shown);
}

std::optional<std::u16string> CapturePipeline::Settled(const Slot& slot)
{
    if (!slot.answer)
        return std::nullopt;  // the main answer is still to come
    if (slot.draftJob != 0 && (slot.answerFailed || slot.keepDraft))
        return std::nullopt;  // the draft is wanted, and is still to come
    if (slot.answerFailed && slot.draft)
        return slot.draft;    // a line whose main answer failed keeps the draft
    return WithDraft(slot, *slot.answer);
}

std::u16string CapturePipeline::WithDraft(const Slot& slot, std::u16string answer)
{
    if (!slot.keepDraft || !slot.draft)
        return answer;
    return *slot.draft + u"\r\n" + answer;
}

bool CapturePipeline::Rewrite(RewritableLine& line, const std::u16string& text)
{
    const std::size_t before = view_.TextLength();
    if (!RewriteLine(view_, line, text))
        return false;
    const std::size_t after = view_.TextLength();
    if (after == before)
        return true;
    // The lines behind it moved; a line whose place was already in doubt
    // (the view changed since it was written) is looked for again.
    const auto follow = [&](Slot& slot) {
        if (!slot.partialShown || &*slot.partialShown == &line)
            return;
        RewritableLine& other = *slot.partialShown;
        if (other.start > line.start)
            other.start = other.start + after - before;
        other.viewLength = other.viewLength == before ? after : std::numeric_limits<std::size_t>::max();
    };
    std::for_each(inPlace_.begin(), inPlace_.end(), follow);
    std::for_each(waiting_.begin(), waiting_.end(), follow);
    return true;
}

void CapturePipeline::ShowInPlace()
{
    for (Slot& slot : inPlace_) {
        if (slot.engineJob == 0) {
            if (Rewrite(*slot.partialShown, slot.text))
                Recorded(slot, slot.text);
            slot.partialShown.reset();  // done
        } else if (slot.partialChanged) {
            slot.partialChanged = false;
            const std::u16string shown = WithDraft(slot, AfterSubstitutions(slot, std::exchange(slot.partial, {})));
            if (Rewrite(*slot.partialShown, shown))
                TellShown(slot, shown, false);
            else
                slot.partialShown.reset();  // its line is gone from the view (replace mode): nothing to do
        }
    }
    std::erase_if(inPlace_, [](const Slot& slot) { return !slot.partialShown; });
}

void CapturePipeline::ShowReady()
{
    std::size_t shown = 0;
    while (!waiting_.empty()) {
        Slot& front = waiting_.front();
        if (front.engineJob != 0) {
            if (front.draft && !front.partialShown) {
                // The draft now; the main answer takes its place when it
                // comes, while the lines behind it go on.
                front.partialShown = AppendRewritableLine(view_, front.options, *front.draft);
                TellShown(front, *front.draft, false);
                inPlace_.push_back(std::move(front));
                waiting_.pop_front();
                continue;
            }
            if (front.partialChanged)
                ShowPartial(front);
            return;
        }
        if (front.partialShown) {
            FinishPartial(front);
            Recorded(front, front.text);
            waiting_.pop_front();
            continue;
        }
        if (front.programLine) {
            AppendLineToView(view_, front.text);
            waiting_.pop_front();
            continue;
        }
        if (front.text.size() > kUnitsPerTurn) {
            // A huge text: one piece now, the rest on the next turns.
            if (shown == 0)
                ShowPiece(front);
            RequestTurn();
            return;
        }
        // A run of ready texts with the same append options is one batch.
        const SinkOptions options = front.options;
        std::vector<std::u16string> texts;
        while (!waiting_.empty() && waiting_.front().engineJob == 0 && !waiting_.front().partialShown &&
               !waiting_.front().programLine && waiting_.front().text.size() <= kUnitsPerTurn && waiting_.front().options.Ancete == options.Ancete &&
               waiting_.front().options.uot == options.uot) {
            shown += waiting_.front().text.size();
            Recorded(waiting_.front(), waiting_.front().text);
            texts.push_back(std::move(waiting_.front().text));
            waiting_.pop_front();
        }
        AppendLogBatch(view_, options, texts);
    }
}

void CapturePipeline::ShowPiece(Slot& slot)
{
    const std::size_t end = PieceEnd(slot.text, slot.shownUnits + kUnitsPerTurn);
    std::u16string piece = slot.text.substr(slot.shownUnits, end - slot.shownUnits);
    if (slot.shownUnits == 0) {
        AppendLogBatch(view_, slot.options, {std::move(piece)});
        // Room for the rest now: growing as the pieces come would copy the
        // whole log again, and touch as much fresh memory, in a single turn.
        view_.Reserve(view_.TextLength() + (slot.text.size() - end));
    } else {
        ContinueLastLine(view_, piece);
    }
    slot.shownUnits = end;
    if (slot.shownUnits == slot.text.size()) {
        Recorded(slot, slot.text);
        waiting_.pop_front();
    }
}

std::u16string CapturePipeline::AfterSubstitutions(const Slot& slot, std::u16string answer)
{
    return slot.filters ? ApplySubstitutions(slot.filters->after, std::move(answer)) : std::move(answer);
}

void CapturePipeline::ShowPartial(Slot& slot)
{
    slot.partialChanged = false;
    std::u16string shown = WithDraft(slot, AfterSubstitutions(slot, std::exchange(slot.partial, {})));
    if (slot.partialShown && Rewrite(*slot.partialShown, shown)) {
        TellShown(slot, shown, false);
        return;
    }
    // First shown, or its line is gone from the view: shown anew from here.
    slot.partialShown.reset();
    if (!shown.empty()) {
        slot.partialShown = AppendRewritableLine(view_, slot.options, shown);
        TellShown(slot, shown, false);
    }
}

void CapturePipeline::FinishPartial(Slot& slot)
{
    if (!Rewrite(*slot.partialShown, slot.text))
        AppendLog(view_, slot.options, slot.text);
}

bool CapturePipeline::Stop(std::chrono::milliseconds wait)
{
    {
        std::lock_guard lock(readMutex_);
        stopped_ = true;
        handed_.clear();
        read_.clear();
    }
    handedChanged_.notify_all();
    // The planner stops after the text in hand.
    if (planner_.joinable())
        planner_.join();
    // Each engine is told to stop before any is waited for.
    for (Translator* engine : engines_)
        engine->Abort();
    bool ended = true;
    for (const std::unique_ptr<EngineWorker>& worker : workers_)
        ended = worker->Stop(wait) && ended;
    waiting_.clear();
    inPlace_.clear();
    return ended;
}

void CapturePipeline::Clear()
{
    {
        std::lock_guard lock(readMutex_);
        ++clears_;  // the text being planned now is dropped when it is done
        handed_.clear();
        read_.clear();
    }
    handedChanged_.notify_all();
    // Answers still to come find no place and are dropped.
    waiting_.clear();
    inPlace_.clear();
    shownLines_.clear();
    for (const std::unique_ptr<EngineWorker>& worker : workers_)
        worker->ForgetContext();
}

} // namespace kx
