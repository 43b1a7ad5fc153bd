#include "translate/chat_completions.h"

#include "common/text.h"
#include "common/utf.h"

#include <nlohmann/json.hpp>

namespace kx {
namespace {

using Json = nlohmann::json;

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u00A0' || c == u'\u3000';
}

std::u16string Trimmed(std::u16string text)
{
    std::size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    std::size_t begin = 0;
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    return text.substr(begin, end - begin);
}

// UTF-8 for JSON: a surrogate without its other half becomes one U+FFFD.
std::string JsonUtf8(std::u16string_view text)
{
    std::u16string sound(text);
    for (std::size_t i = 0; i < sound.size(); i += CharacterUnits(sound, i))
        if (CharacterUnits(sound, i) == 1 && (IsHighSurrogate(sound[i]) || IsLowSurrogate(sound[i])))
            sound[i] = u'\uFFFD';
    return Utf8FromUtf16(sound);
}

} // namespace

std::string BuildChatRequest(const ServerSettings& settings, std::u16string_view text)
{
    Json request = Json::object();
    if (!settings.model.empty())
        request["model"] = settings.model;
    request["messages"] = Json::array({
        {{"role", "system"}, {"content", JsonUtf8(settings.prompt)}},
        {{"role", "user"}, {"content", JsonUtf8(text)}},
    });
    request["temperature"] = 0;
    request["stream"] = false;
    return request.dump(-1, ' ', false, Json::error_handler_t::replace);
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
