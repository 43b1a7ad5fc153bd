#pragma once
// The request and the answer of a translation server that speaks the
// chat-completions API (llama.cpp's server, Ollama, vLLM, LM Studio): the
// bodies only; sending them is the platform's part.
#include "settings/app_settings.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kx {

inline constexpr const char16_t* kContextHeading = u"Previous lines, for context only:";
inline constexpr const char16_t* kGlossaryHeading = u"Use these translations:";

// An earlier line of this run as the server had it, with its translation.
struct ContextLine {
    std::u16string source;
    std::u16string translation;

    bool operator==(const ContextLine&) const = default;
};

// The POST body in UTF-8: the prompt as the system message, the text as the
// user's, temperature 0, max_tokens, streaming as set. The last
// `settings.contextLines` of `context` (oldest first) go along: in the system
// message after the prompt, or with their translations as earlier user and
// assistant messages. The glossary pairs whose term occurs in the text or in
// those lines follow the prompt. Every character survives; a lone surrogate
// (never valid text) becomes U+FFFD.
std::string BuildChatRequest(const ServerSettings& settings, std::u16string_view text,
                             std::span<const ContextLine> context = {});

// What is shown of an answer: without a leading <think>…</think> block (a
// reasoning model's thoughts) and the blanks around it. While the answer is
// still `growing`, an unclosed block, or what may yet become its opening
// tag, shows nothing; a block that does not open the answer is kept.
std::u16string WithoutReasoning(std::u16string_view answer, bool growing = false);

// WithoutReasoning for an answer that arrives in pieces: each piece is
// looked at once, from where the last one ended.
class ReasoningFilter {
public:
    void Append(std::u16string_view units);
    // What is shown of the answer so far: WithoutReasoning(answer, true),
    // with any blanks at its end. It only ever grows.
    const std::u16string& Shown() const { return shown_; }
    // The answer has ended: WithoutReasoning(answer).
    std::u16string Final() const;

private:
    enum class State { Opening, InBlock, AfterBlock, Answer };
    State state_ = State::Opening;
    // Opening: what may yet become the opening tag; InBlock: the last units,
    // which may be the start of the closing tag.
    std::u16string held_;
    std::u16string shown_;
};

// choices[0].message.content of an answer, without white space at its ends;
// otherwise the reason, in words for the log.
struct ChatAnswer {
    std::optional<std::u16string> translation;
    std::string failure;
};
ChatAnswer ParseChatAnswer(std::string_view body);

} // namespace kx
