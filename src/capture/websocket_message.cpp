#include "capture/websocket_message.h"

#include "common/text.h"
#include "common/utf.h"

#include <nlohmann/json.hpp>

#include <string>

namespace kx {
namespace {

using Json = nlohmann::json;

// The named field of a JSON object when it is a string.
std::optional<std::string> StringField(const Json& object, const char* name)
{
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string())
        return std::nullopt;
    return found->get<std::string>();
}

} // namespace

std::optional<std::u16string> TextOfMessage(std::string_view bytes)
{
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    // Only what may be an object is parsed; JSON with bytes that are not
    // UTF-8 is no JSON and is shown as it stands.
    const Json parsed = first != std::string_view::npos && bytes[first] == '{'
                            ? Json::parse(bytes.begin(), bytes.end(), nullptr, false)
                            : Json();
    std::optional<std::string> field;
    if (parsed.is_object() && !(field = StringField(parsed, "sentence")))
        field = StringField(parsed, "text");
    std::u16string text = field ? Utf16FromUtf8Replacing(*field) : Utf16FromUtf8Replacing(bytes);
    // As in a clipboard text: the log view and the engine would stop reading at a NUL.
    std::erase(text, u'\0');
    if (text.empty())
        return std::nullopt;
    return text;
}

bool IsWebSocketUrl(std::string_view url)
{
    for (std::string_view scheme : {std::string_view("ws://"), std::string_view("wss://")})
        if (url.size() > scheme.size() && EqualsIgnoringAsciiCase(url.substr(0, scheme.size()), scheme))
            return url.find_first_of("/?#", scheme.size()) != scheme.size();
    return false;
}

} // namespace kx
