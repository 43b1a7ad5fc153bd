#include "translate/server_settings_rules.h"

#include "common/http_url.h"
#include "common/utf.h"
#include "settings/value_encodings.h"

namespace kx {
namespace {

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\u00A0' ||
           c == u'\u3000';
}

bool AllWithin(std::u16string_view text, char16_t low, char16_t high)
{
    for (char16_t c : text)
        if (c < low || c > high)
            return false;
    return true;
}

// The text checked to be ASCII, as bytes.
std::string Narrow(std::u16string_view ascii)
{
    return std::string(ascii.begin(), ascii.end());
}

bool StartsWithCaseless(std::u16string_view text, std::u16string_view lowerPrefix)
{
    if (text.size() < lowerPrefix.size())
        return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != lowerPrefix[i])
            return false;
    }
    return true;
}

} // namespace

std::u16string_view TrimBlanks(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::string> CheckServerUrl(std::u16string_view text)
{
    const std::u16string_view url = TrimBlanks(text);
    if (!AllWithin(url, 0x21, 0x7E))
        return std::nullopt;
    for (std::u16string_view scheme : {std::u16string_view(u"http://"), std::u16string_view(u"https://")})
        if (url.size() > scheme.size() && StartsWithCaseless(url, scheme))
            return Narrow(url);
    return std::nullopt;
}

std::optional<std::int32_t> CheckWholeNumber(std::u16string_view text, std::int32_t low, std::int32_t high)
{
    const std::u16string_view digits = TrimBlanks(text);
    if (digits.empty())
        return std::nullopt;
    std::int32_t value = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        // Past the largest, however many digits follow (no overflow).
        if (value > high)
            return std::nullopt;
    }
    if (value < low)
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> CheckServerTimeout(std::u16string_view text)
{
    return CheckWholeNumber(text, kMinServerTimeoutSeconds, kMaxServerTimeoutSeconds);
}

std::optional<std::string> CheckServerModel(std::u16string_view text)
{
    const std::u16string_view model = TrimBlanks(text);
    if (!AllWithin(model, 0x20, 0x7E))
        return std::nullopt;
    return Narrow(model);
}

std::variant<ServerFormValues, ServerFormProblem> ReadServerForm(const ServerFormTexts& texts,
                                                                 const ServerSettings& current)
{
    ServerFormValues values{current, {}};
    if (std::optional<std::string> url = CheckServerUrl(texts.url))
        values.server.url = std::move(*url);
    else
        return ServerFormProblem{ServerFormField::Url, kServerUrlProblem};
    if (HasUserInfo(values.server.url))
        return ServerFormProblem{ServerFormField::Url, kServerUrlUserInfoProblem};
    if (std::optional<std::string> model = CheckServerModel(texts.model))
        values.server.model = std::move(*model);
    else
        return ServerFormProblem{ServerFormField::Model, kServerModelProblem};
    if (std::optional<std::int32_t> seconds = CheckServerTimeout(texts.timeout))
        values.server.timeoutSeconds = *seconds;
    else
        return ServerFormProblem{ServerFormField::Timeout, kServerTimeoutProblem};
    if (std::optional<std::int32_t> lines = CheckWholeNumber(texts.contextLines, 0, kMaxContextLines))
        values.server.contextLines = *lines;
    else
        return ServerFormProblem{ServerFormField::ContextLines, kServerContextLinesProblem};
    values.server.contextTranslations = SwitchFromBox(texts.contextTranslations, current.contextTranslations);
    values.server.stream = SwitchFromBox(texts.stream, current.stream);
    if (std::optional<std::int32_t> tokens = CheckWholeNumber(texts.maxTokens, kMinMaxTokens, kMaxMaxTokens))
        values.server.maxTokens = *tokens;
    else
        return ServerFormProblem{ServerFormField::MaxTokens, kServerMaxTokensProblem};
    values.server.prompt = texts.prompt;
    values.apiKey = Utf8FromUtf16(TrimBlanks(texts.apiKey));
    return values;
}

std::variant<ServiceFormValues, ServiceFormProblem> ReadServiceForm(const ServiceFormTexts& texts)
{
    ServiceFormValues values;
    if (std::optional<std::string> url = CheckServerUrl(texts.url))
        values.url = std::move(*url);
    else
        return ServiceFormProblem{ServiceFormField::Url, kServerUrlProblem};
    if (HasUserInfo(values.url))
        return ServiceFormProblem{ServiceFormField::Url, kServerUrlUserInfoProblem};
    if (std::optional<std::string> keyId = CheckServerModel(texts.keyId))
        values.keyId = std::move(*keyId);
    else
        return ServiceFormProblem{ServiceFormField::KeyId, kServiceKeyIdProblem};
    values.apiKey = Utf8FromUtf16(TrimBlanks(texts.apiKey));
    return values;
}

std::u16string WithCrLf(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            out.push_back(u'\r');
        out.push_back(text[i]);
    }
    return out;
}

std::u16string PromptFromBox(std::u16string_view boxText, std::u16string_view stored)
{
    if (boxText == WithCrLf(stored))
        return std::u16string(stored);
    return std::u16string(boxText);
}

} // namespace kx
