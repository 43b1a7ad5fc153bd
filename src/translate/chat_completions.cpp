#include "translate/chat_completions.h"

#include "common/text.h"
#include "common/utf.h"
#include "translate/http_engine_rules.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <utility>

namespace kx {
namespace {

using Json = nlohmann::json;

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u00A0' || c == u'\u3000';
}

std::u16string_view TrimmedStart(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::u16string Trimmed(std::u16string_view text)
{
    text = TrimmedStart(text);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return std::u16string(text);
}

} // namespace

std::string BuildChatRequest(const ServerSettings& settings, std::u16string_view text,
                             std::span<const ContextLine> context)
{
    const std::size_t lines = std::min<std::size_t>(context.size(), std::clamp(settings.contextLines, 0, kMaxContextLines));
    context = context.subspan(context.size() - lines);

    std::u16string system = settings.prompt;
    std::u16string glossary;
    for (const GlossaryEntry& entry : settings.glossary) {
        const bool occurs = text.find(entry.term) != std::u16string_view::npos ||
                            std::any_of(context.begin(), context.end(), [&](const ContextLine& line) {
                                return line.source.find(entry.term) != std::u16string::npos;
                            });
        if (occurs && !entry.term.empty())
            glossary += u"\n" + entry.term + u" \u2192 " + entry.translation;
    }
    if (!glossary.empty())
        system += u"\n\n" + std::u16string(kGlossaryHeading) + glossary;
    const bool asMessages = settings.ContextTranslationsOn();
    if (!context.empty() && !asMessages) {
        system += u"\n\n" + std::u16string(kContextHeading);
        for (const ContextLine& line : context)
            system += u"\n" + line.source;
    }

    Json messages = Json::array({{{"role", "system"}, {"content", Utf8ForJson(system)}}});
    if (asMessages)
        for (const ContextLine& line : context) {
            messages.push_back({{"role", "user"}, {"content", Utf8ForJson(line.source)}});
            messages.push_back({{"role", "assistant"}, {"content", Utf8ForJson(line.translation)}});
        }
    messages.push_back({{"role", "user"}, {"content", Utf8ForJson(text)}});

    Json request = Json::object();
    if (!settings.model.empty())
        request["model"] = settings.model;
    request["messages"] = std::move(messages);
    request["temperature"] = 0;
    request["max_tokens"] = std::clamp(settings.maxTokens, kMinMaxTokens, kMaxMaxTokens);
    request["stream"] = settings.StreamOn();
    return request.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::u16string WithoutReasoning(std::u16string_view answer, bool growing)
{
    ReasoningFilter filter;
    filter.Append(answer);
    return growing ? filter.Shown() : filter.Final();
}

namespace {
constexpr std::u16string_view kOpenTag = u"<think>";
constexpr std::u16string_view kCloseTag = u"</think>";
} // namespace

void ReasoningFilter::Append(std::u16string_view units)
{
    while (state_ == State::Opening && !units.empty()) {
        const char16_t c = units.front();
        units.remove_prefix(1);
        if (held_.empty() && IsBlank(c))
            continue;
        held_.push_back(c);
        if (held_ == kOpenTag) {
            held_.clear();
            state_ = State::InBlock;
        } else if (!kOpenTag.starts_with(held_)) {
            shown_ = std::exchange(held_, {});
            state_ = State::Answer;
        }
    }
    std::u16string afterBlock;
    if (state_ == State::InBlock && !units.empty()) {
        // Only the new units are searched, with the few before them that may
        // start the closing tag.
        std::u16string searched = std::exchange(held_, {});
        searched.append(units);
        const std::size_t close = searched.find(kCloseTag);
        if (close == std::u16string::npos) {
            held_ = searched.substr(searched.size() - std::min(searched.size(), kCloseTag.size() - 1));
            return;
        }
        afterBlock = searched.substr(close + kCloseTag.size());
        units = afterBlock;
        state_ = State::AfterBlock;
    }
    if (state_ == State::AfterBlock) {
        units = TrimmedStart(units);
        if (!units.empty())
            state_ = State::Answer;
    }
    if (state_ == State::Answer)
        shown_.append(units);
}

std::u16string ReasoningFilter::Final() const
{
    switch (state_) {
    case State::Opening:
        return held_;  // a whole answer that only looks like the start of the tag is what it is
    case State::Answer:
        return Trimmed(shown_);
    default:
        return {};  // an unclosed block, or nothing after it
    }
}

ChatAnswer ParseChatAnswer(std::string_view body)
{
    const Json answer = Json::parse(body, nullptr, false);
    if (answer.is_discarded())
        return {std::nullopt, "the answer is not JSON"};
    if (!answer.is_object())
        return {std::nullopt, "the answer is not a JSON object"};
    if (const auto error = answer.find("error"); error != answer.end()) {
        if (error->is_object() && error->contains("message") && (*error)["message"].is_string())
            return {std::nullopt, "the server says: " + (*error)["message"].get<std::string>()};
        return {std::nullopt, "the server answers with an error"};
    }
    const auto choices = answer.find("choices");
    if (choices == answer.end() || !choices->is_array() || choices->empty())
        return {std::nullopt, "the answer has no choices"};
    const Json& first = (*choices)[0];
    if (!first.is_object() || !first.contains("message") || !first["message"].is_object())
        return {std::nullopt, "the answer has no message"};
    const Json& message = first["message"];
    if (!message.contains("content") || !message["content"].is_string())
        return {std::nullopt, "the answer's message has no text"};
    return {Trimmed(Utf16FromUtf8(message["content"].get<std::string>())), {}};
}

} // namespace kx
