#pragma once
// The request and the answer of a translation server that speaks the
// chat-completions API (llama.cpp's server, Ollama, vLLM, LM Studio): the
// bodies only; sending them is the platform's part.
#include "settings/app_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// The POST body in UTF-8: the prompt as the system message, the text as the
// user's, temperature 0, no streaming. Every character survives; a lone
// surrogate (never valid text) becomes U+FFFD.
std::string BuildChatRequest(const ServerSettings& settings, std::u16string_view text);

// choices[0].message.content of an answer, without white space at its ends;
// otherwise the reason, in words for the log.
struct ChatAnswer {
    std::optional<std::u16string> translation;
    std::string failure;
};
ChatAnswer ParseChatAnswer(std::string_view body);

} // namespace kx
