// A translation server's answer, whatever it holds, and the request built
// from any text: no crash, a translation or a reason, and a request that is
// JSON holding the text.
#include "common/text.h"
#include "fuzz_check.h"
#include "common/utf.h"
#include "translate/chat_completions.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string_view>

using kx::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const kx::ChatAnswer answer = kx::ParseChatAnswer(bytes);
    Check(answer.translation.has_value() != !answer.failure.empty());
    if (answer.translation && !answer.translation->empty()) {
        const char16_t first = answer.translation->front();
        const char16_t last = answer.translation->back();
        Check(first != u' ' && first != u'\n' && last != u' ' && last != u'\n');
    }

    // The same bytes as the text to translate: the request reads back as JSON
    // with the text as the user's message, a lone surrogate as U+FFFD.
    std::u16string text = kx::Utf16FromUtf8(bytes);
    const nlohmann::json request = nlohmann::json::parse(kx::BuildChatRequest(kx::ServerSettings{}, text), nullptr, false);
    Check(!request.is_discarded());
    Check(request["messages"].size() == 2 && request["messages"][1]["content"].is_string());
    for (std::size_t i = 0; i < text.size(); i += kx::CharacterUnits(text, i))
        if (kx::CharacterUnits(text, i) == 1 && (kx::IsHighSurrogate(text[i]) || kx::IsLowSurrogate(text[i])))
            text[i] = u'\uFFFD';
    Check(request["messages"][1]["content"].get<std::string>() == kx::Utf8FromUtf16(text));
    return 0;
}
