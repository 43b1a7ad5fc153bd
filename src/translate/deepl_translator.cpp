#include "translate/deepl_translator.h"

#include "common/http_url.h"
#include "common/utf.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <utility>

namespace kx {
namespace {

using Json = nlohmann::ordered_json;

const Json* StringField(const Json& object, const char* name)
{
    const auto found = object.find(name);
    return found != object.end() && found->is_string() ? &*found : nullptr;
}

} // namespace

std::string BuildDeepLRequest(const DeepLSettings& settings, std::u16string_view text,
                              std::span<const std::u16string> context)
{
    const std::size_t lines = std::min<std::size_t>(context.size(), std::clamp(settings.contextLines, 0, kMaxContextLines));
    Json request = Json::object();
    request["text"] = Json::array({Utf8ForJson(text)});
    request["source_lang"] = "JA";
    request["target_lang"] = "KO";
    if (lines != 0) {
        std::u16string joined;
        for (const std::u16string& line : context.subspan(context.size() - lines))
            joined.append(joined.empty() ? u"" : u"\n").append(line);
        request["context"] = Utf8ForJson(joined);
    }
    return request.dump(-1, ' ', false, Json::error_handler_t::replace);
}

ServiceAnswer ReadDeepLAnswer(std::string_view body)
{
    const Json answer = Json::parse(body, nullptr, false);
    if (answer.is_discarded() || !answer.is_object())
        return {std::nullopt, "the answer is not a JSON object"};
    const auto translations = answer.find("translations");
    if (translations == answer.end() || !translations->is_array() || translations->empty() ||
        !(*translations)[0].is_object())
        return {std::nullopt, "the answer has no translations"};
    const Json* text = StringField((*translations)[0], "text");
    if (!text)
        return {std::nullopt, "the answer's translation has no text"};
    return {Utf16FromUtf8(text->get_ref<const std::string&>()), {}};
}

std::string DeepLErrorMessage(std::string_view body)
{
    const Json answer = Json::parse(body, nullptr, false);
    if (answer.is_discarded() || !answer.is_object())
        return {};
    std::string said;
    for (const char* name : {"message", "detail"})
        if (const Json* part = StringField(answer, name); part && !part->get_ref<const std::string&>().empty())
            said.append(said.empty() ? "" : ": ").append(part->get_ref<const std::string&>());
    return said;
}

DeepLTranslator::DeepLTranslator(HttpPort& http, CodePagePort& codePages, MillisecondClock clock)
    : ServiceTranslator(http, codePages, kDeepLNoticePrefix, std::move(clock))
{
}

void DeepLTranslator::Configure(const DeepLSettings& settings, const std::string& apiKey)
{
    configuration_.Set(settings, apiKey);
}

std::chrono::milliseconds DeepLTranslator::WaitLimit() const
{
    return RequestWaitLimit(configuration_.Take().settings.timeoutSeconds);
}

ServiceRequest DeepLTranslator::Request(std::u16string_view sentence, std::span<const std::u16string> context) const
{
    const auto [settings, apiKey, configured] = configuration_.Take();
    ServiceRequest request;
    request.configured = configured;
    request.http.url = settings.url;
    request.http.body = BuildDeepLRequest(settings, sentence, context);
    request.http.timeoutSeconds = settings.timeoutSeconds;
    request.keyWithheld = !apiKey.empty() && !ApiKeyMayTravel(settings.url);
    if (!apiKey.empty() && !request.keyWithheld)
        request.http.headers.emplace_back("Authorization", "DeepL-Auth-Key " + apiKey);
    return request;
}

// As DeepL's error handling guide names them.
std::string_view DeepLTranslator::StatusMeaning(int status) const
{
    switch (status) {
    case 403:
        return "the API key was not accepted";
    case 429:
        return "too many requests, try again shortly";
    case 456:
        return "the character quota is used up";
    default:
        return {};
    }
}

} // namespace kx
