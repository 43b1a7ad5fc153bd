#include "companion/line_feed.h"

#include "common/text.h"
#include "common/utf.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <utility>

namespace kx {

std::string LineJson(const LineState& line)
{
    nlohmann::ordered_json json;
    json["id"] = line.id;
    json["source"] = Utf8FromUtf16(line.source);
    json["shown"] = Utf8FromUtf16(line.shown);
    json["final"] = line.final;
    json["game"] = Utf8FromUtf16(line.game);
    // Text the program could not make valid UTF-8 of shows as U+FFFD.
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::u16string ServedText(std::u16string_view text)
{
    if (text.size() <= kMaxServedUnits)
        return std::u16string(text);
    std::size_t end = kMaxServedUnits;
    if (CutsPair(text, end))
        --end;
    return std::u16string(text.substr(0, end));
}

LineFeed::Line* LineFeed::Find(std::uint64_t id)
{
    // Changes come mostly to the newest lines.
    const auto line = std::find_if(lines_.rbegin(), lines_.rend(), [id](const Line& l) { return l.state.id == id; });
    return line == lines_.rend() ? nullptr : &*line;
}

void LineFeed::Captured(std::uint64_t id, std::u16string source, std::u16string game, std::vector<FeedMessage>& out)
{
    Line line;
    line.state = LineState{id, std::move(source), {}, false, std::move(game)};
    out.push_back({Endpoint::Source, Utf8FromUtf16(line.state.source)});
    out.push_back({Endpoint::Lines, LineJson(line.state)});
    lines_.push_back(std::move(line));
    if (lines_.size() > kBacklogLines)
        lines_.pop_front();
}

void LineFeed::Shown(std::uint64_t id, const std::u16string& source, std::u16string shown, bool final,
                     std::int64_t nowMs, std::vector<FeedMessage>& out)
{
    Line* line = Find(id);
    if (!line) {
        // Older than the backlog (a correction of a line long gone by): told, not kept.
        out.push_back({Endpoint::Lines, LineJson({id, source, std::move(shown), final, {}})});
        return;
    }
    line->state.shown = std::move(shown);
    line->state.final = final;
    line->pieceHeld = false;
    if (!final) {
        if (line->pieceSent && nowMs - line->pieceSentMs < kPieceGapMs) {
            line->pieceHeld = true;
            return;
        }
        line->pieceSent = true;
        line->pieceSentMs = nowMs;
    }
    out.push_back({Endpoint::Lines, LineJson(line->state)});
    // A line is translated once: a correction later changes what /lines shows only.
    if (final && !std::exchange(line->translationSent, true))
        out.push_back({Endpoint::Translation, Utf8FromUtf16(line->state.shown)});
}

void LineFeed::SendDue(std::int64_t nowMs, std::vector<FeedMessage>& out)
{
    for (Line& line : lines_) {
        if (!line.pieceHeld || nowMs - line.pieceSentMs < kPieceGapMs)
            continue;
        line.pieceHeld = false;
        line.pieceSentMs = nowMs;
        out.push_back({Endpoint::Lines, LineJson(line.state)});
    }
}

std::optional<std::int64_t> LineFeed::NextDueMs() const
{
    std::optional<std::int64_t> due;
    for (const Line& line : lines_)
        if (line.pieceHeld)
            due = std::min(due.value_or(line.pieceSentMs + kPieceGapMs), line.pieceSentMs + kPieceGapMs);
    return due;
}

std::vector<std::string> LineFeed::Backlog() const
{
    std::vector<std::string> messages;
    messages.reserve(lines_.size());
    for (const Line& line : lines_)
        messages.push_back(LineJson(line.state));
    return messages;
}

} // namespace kx
