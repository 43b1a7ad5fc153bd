#pragma once
// UTF-16 and UTF-8 both ways: the settings file's text, a server's JSON.
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// An unpaired surrogate becomes three bytes of its own, so that every
// sequence of code units comes back as it was. Bytes that are no UTF-8 give
// U+FFFD.
std::string Utf8FromUtf16(std::u16string_view units);
std::u16string Utf16FromUtf8(std::string_view bytes);

// For text from outside (a WebSocket message): each sequence that is not
// well-formed UTF-8 (a stray byte, an overlong form, a surrogate) gives one
// U+FFFD, so that no unpaired surrogate comes out.
std::u16string Utf16FromUtf8Replacing(std::string_view bytes);

// For text that must be well-formed UTF-8 (a URL): nullopt for any byte that
// is not, and for an overlong form, a surrogate or a code point past U+10FFFF.
std::optional<std::u16string> Utf16FromWellFormedUtf8(std::string_view bytes);

} // namespace kx
