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

// UTF-8 that arrives in pieces cut anywhere, to UTF-16: a letter split
// between two pieces comes out whole, and a surrogate written on its own in
// three bytes (as Utf8FromUtf16 writes one) is joined with the other half
// that follows it, in the same piece or the next. What cannot be UTF-8
// becomes U+FFFD in its place (one for each maximal part of a sequence, as
// Unicode recommends); no unpaired surrogate comes out.
class Utf8Decoder {
public:
    // Appends what `bytes` completes to `out`; a letter not yet whole waits.
    void Append(std::string_view bytes, std::u16string& out);
    // No more bytes: a letter left unfinished becomes U+FFFD.
    void Finish(std::u16string& out);

private:
    std::string waiting_;  // at most a high surrogate and the start of the next sequence
};

} // namespace kx
