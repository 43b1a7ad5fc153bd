#include "translate/papago_translator.h"

#include "common/http_url.h"
#include "common/utf.h"

#include <nlohmann/json.hpp>

#include <utility>

namespace kx {
namespace {

using Json = nlohmann::ordered_json;

// The member `name` of `object` when it is an object itself.
const Json* ObjectField(const Json& object, const char* name)
{
    const auto found = object.find(name);
    return found != object.end() && found->is_object() ? &*found : nullptr;
}

// A member as text: a string as it is, a number as its digits (an error
// code may come as either); empty otherwise.
std::string TextField(const Json& object, const char* name)
{
    const auto found = object.find(name);
    if (found == object.end())
        return {};
    if (found->is_string())
        return found->get<std::string>();
    if (found->is_number())
        return found->dump();
    return {};
}

} // namespace

std::string BuildPapagoRequest(const PapagoSettings& settings, std::u16string_view text)
{
    Json request = Json::object();
    request["source"] = "ja";
    request["target"] = "ko";
    request["text"] = Utf8ForJson(text);
    if (settings.HonorificOn())
        request["honorific"] = true;
    return request.dump(-1, ' ', false, Json::error_handler_t::replace);
}

ServiceAnswer ReadPapagoAnswer(std::string_view body)
{
    const Json answer = Json::parse(body, nullptr, false);
    if (answer.is_discarded() || !answer.is_object())
        return {std::nullopt, "the answer is not a JSON object"};
    const Json* message = ObjectField(answer, "message");
    const Json* result = message ? ObjectField(*message, "result") : nullptr;
    if (!result)
        return {std::nullopt, "the answer has no result"};
    const auto text = result->find("translatedText");
    if (text == result->end() || !text->is_string())
        return {std::nullopt, "the answer's result has no translated text"};
    return {Utf16FromUtf8(text->get_ref<const std::string&>()), {}};
}

std::string PapagoErrorMessage(std::string_view body)
{
    const Json answer = Json::parse(body, nullptr, false);
    const Json* error = answer.is_object() ? ObjectField(answer, "error") : nullptr;
    if (!error)
        return {};
    std::string said = TextField(*error, "errorCode");
    if (const std::string message = TextField(*error, "message"); !message.empty())
        said.append(said.empty() ? "" : ": ").append(message);
    if (const std::string details = TextField(*error, "details"); !details.empty())
        said.append(said.empty() ? "" : " - ").append(details);
    return said;
}

PapagoTranslator::PapagoTranslator(HttpPort& http, CodePagePort& codePages, MillisecondClock clock)
    : ServiceTranslator(http, codePages, kPapagoNoticePrefix, std::move(clock))
{
}

void PapagoTranslator::Configure(const PapagoSettings& settings, const std::string& apiKey)
{
    configuration_.Set(settings, apiKey);
}

std::chrono::milliseconds PapagoTranslator::WaitLimit() const
{
    return RequestWaitLimit(configuration_.Take().settings.timeoutSeconds);
}

ServiceRequest PapagoTranslator::Request(std::u16string_view sentence, std::span<const std::u16string>) const
{
    const auto [settings, apiKey, configured] = configuration_.Take();
    ServiceRequest request;
    request.configured = configured;
    request.http.url = settings.url;
    request.http.body = BuildPapagoRequest(settings, sentence);
    request.http.timeoutSeconds = settings.timeoutSeconds;
    // The client ID goes with its secret or not at all: together they are the key.
    const bool anyKey = !settings.keyId.empty() || !apiKey.empty();
    request.keyWithheld = anyKey && !ApiKeyMayTravel(settings.url);
    if (!request.keyWithheld) {
        if (!settings.keyId.empty())
            request.http.headers.emplace_back(kPapagoKeyIdHeader, settings.keyId);
        if (!apiKey.empty())
            request.http.headers.emplace_back(kPapagoKeyHeader, apiKey);
    }
    return request;
}

} // namespace kx
