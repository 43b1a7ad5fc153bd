#include "capture/capture_pipeline.h"

#include "capture/append_log.h"
#include "common/app_error.h"
#include "common/text.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace kx {

CapturePipeline::CapturePipeline(CodePagePort& codePages, LogViewPort& view, Translator& ezTrans,
                                 Translator& server, UiThreadPort& ui, AnsiLeadBytes lead)
    : codePages_(codePages), view_(view), ui_(ui), lead_(lead), worker_(ezTrans, server, [this] { RequestTurn(); })
{
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
    std::lock_guard planLock(planMutex_);
    {
        std::lock_guard lock(readMutex_);
        if (stopped_)
            return;
    }
    std::optional<PlannedText> planned;
    if (!text.failure.empty()) {
        planned.emplace();
        planned->failure = std::move(text.failure);
    } else {
        try {
            planned = Plan(std::move(text));
        } catch (const std::exception& e) {
            planned.emplace();
            planned->failure = e.what();
        }
    }
    if (!planned)
        return;
    {
        std::lock_guard lock(readMutex_);
        if (stopped_)
            return;
        read_.push_back(std::move(*planned));
    }
    RequestTurn();
}

void CapturePipeline::Note(std::u16string line, SinkOptions options)
{
    options.uot = 0;
    std::lock_guard planLock(planMutex_);
    {
        std::lock_guard lock(readMutex_);
        if (stopped_)
            return;
        read_.push_back(PlannedText{options, std::move(line), std::nullopt, EngineKind::EzTrans, nullptr, {}});
    }
    RequestTurn();
}

bool CapturePipeline::Busy() const
{
    std::lock_guard lock(readMutex_);
    return !read_.empty() || !waiting_.empty();
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
    for (EngineWorker::Answer& answer : worker_.TakeAnswers()) {
        if (answer.stopped && onEngineStopped_)
            onEngineStopped_(*answer.stopped);
        const auto slot = std::find_if(waiting_.begin(), waiting_.end(),
                                       [&](const Slot& s) { return s.engineJob == answer.job; });
        if (slot == waiting_.end())
            continue;  // cleared meanwhile
        std::u16string shown = slot->filters ? ApplySubstitutions(slot->filters->after, std::move(answer.shown))
                                             : std::move(answer.shown);
        if (answer.partial) {
            slot->partial = std::move(shown);
            slot->partialChanged = true;
            continue;
        }
        slot->text = std::move(shown);
        slot->engineJob = 0;
        // The notice follows its text, appended even in replace mode, so that
        // the text it is about stays in view with it.
        if (!answer.notice.empty()) {
            SinkOptions appended = slot->options;
            appended.uot = 0;
            waiting_.insert(slot + 1, Slot{appended, std::move(answer.notice), 0, nullptr});
        }
    }
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
    if (text.filters) {
        std::optional<std::u16string> cleaned = filters_.Clean(*text.filters, std::move(decoded));
        if (!cleaned)
            return std::nullopt;
        decoded = std::move(*cleaned);
    }
    // The full stop is ezTrans's sentence end; a server needs none.
    SinkPlan plan =
        PlanTextSink(std::move(decoded), text.options, text.translate, text.engine == EngineKind::EzTrans);
    return PlannedText{text.options, std::move(plan.shownNow), std::move(plan.forEngine), text.engine,
                       std::move(text.filters), {}};
}

void CapturePipeline::Place(PlannedText text)
{
    if (!text.shownNow.empty())
        waiting_.push_back(Slot{text.options, std::move(text.shownNow), 0, nullptr});
    if (text.forEngine) {
        if (text.forEngine->size() > kMaxUnitsTranslated) {
            std::size_t cut = kMaxUnitsTranslated;
            if (IsLowSurrogate((*text.forEngine)[cut]))
                --cut;
            text.forEngine->resize(cut);
            SinkOptions appended = text.options;
            appended.uot = 0;
            waiting_.push_back(Slot{appended, kTextCutLine, 0, nullptr});
        }
        // Also an empty text goes to the engine thread: the adapter keeps
        // short pieces for the next text, in read order.
        const std::uint64_t job = ++lastJob_;
        waiting_.push_back(Slot{text.options, {}, job, text.filters});
        worker_.Submit(job, std::move(*text.forEngine), text.engine);
    }
}

void CapturePipeline::ShowReady()
{
    std::size_t shown = 0;
    while (!waiting_.empty()) {
        Slot& front = waiting_.front();
        if (front.engineJob != 0) {
            if (front.partialChanged)
                ShowPartial(front);
            return;
        }
        if (front.partialShown) {
            FinishPartial(front);
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
               waiting_.front().text.size() <= kUnitsPerTurn && waiting_.front().options.Ancete == options.Ancete &&
               waiting_.front().options.uot == options.uot) {
            shown += waiting_.front().text.size();
            texts.push_back(std::move(waiting_.front().text));
            waiting_.pop_front();
        }
        AppendLogBatch(view_, options, texts);
    }
}

void CapturePipeline::ShowPiece(Slot& slot)
{
    std::size_t end = std::min(slot.text.size(), slot.shownUnits + kUnitsPerTurn);
    if (end < slot.text.size() && (IsLowSurrogate(slot.text[end]) || slot.text[end] == u'\n'))
        --end;  // not inside a surrogate pair or a line break
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
    if (slot.shownUnits == slot.text.size())
        waiting_.pop_front();
}

void CapturePipeline::ShowPartial(Slot& slot)
{
    slot.partialChanged = false;
    if (slot.partialShown && RewriteLine(view_, *slot.partialShown, slot.partial))
        return;
    // First shown, or the view changed behind it (cleared, a line of the
    // program's own): shown anew from here.
    slot.partialShown.reset();
    if (!slot.partial.empty())
        slot.partialShown = AppendRewritableLine(view_, slot.options, slot.partial);
}

void CapturePipeline::FinishPartial(Slot& slot)
{
    if (!RewriteLine(view_, *slot.partialShown, slot.text))
        AppendLog(view_, slot.options, slot.text);
}

bool CapturePipeline::Stop(std::chrono::milliseconds wait)
{
    {
        std::lock_guard lock(readMutex_);
        stopped_ = true;
        read_.clear();
    }
    const bool ended = worker_.Stop(wait);
    waiting_.clear();
    return ended;
}

void CapturePipeline::Clear()
{
    {
        std::lock_guard lock(readMutex_);
        read_.clear();
    }
    // Answers still to come find no place and are dropped.
    waiting_.clear();
    worker_.ForgetContext();
}

} // namespace kx
