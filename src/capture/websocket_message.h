#pragma once
// What a hooker's WebSocket message says: one captured text, and the URL
// the source connects to.
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// A text message is UTF-8; bytes that are not give U+FFFD. A message that
// is a JSON object with a string field "sentence" (or, failing that, "text")
// gives that field; any other message is the text as it stands. NULs are
// dropped. nullopt when that text is empty: there is nothing to show.
std::optional<std::u16string> TextOfMessage(std::string_view bytes);

// A URL the text source can use: ws:// or wss:// (any case) and a host.
bool IsWebSocketUrl(std::string_view url);

} // namespace kx
