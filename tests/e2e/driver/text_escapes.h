#pragma once
// Texts on the driver's command line: ASCII with backslash escapes, so that a
// test can name Shift-JIS bytes, malformed input and Japanese or Korean text
// without depending on the locale that Wine uses for the command line.
#include <optional>
#include <string>

namespace kx::e2e {

// Bytes for the clipboard: \\ \r \n \t \xNN (two hex digits). Any other
// character must be ASCII. Returns nothing for a malformed escape.
std::optional<std::string> ParseByteEscapes(const std::wstring& arg);

// UTF-16 text: \\ \r \n \t \uXXXX (four hex digits). Other characters are
// taken as they stand. Returns nothing for a malformed escape.
std::optional<std::wstring> ParseTextEscapes(const std::wstring& arg);

// UTF-16 to UTF-8 (lone surrogates become U+FFFD).
std::string ToUtf8(const std::wstring& text);

// UTF-8 for a one-line report: CR, LF, tab and backslash written as escapes.
std::string ToUtf8OneLine(const std::wstring& text);

} // namespace kx::e2e
