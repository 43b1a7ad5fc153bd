#pragma once
// Turns the clipboard's raw bytes into the byte string that the text sink
// converts with the Character Set code page.
#include "platform/code_page_port.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

enum GetTextMethod : int {
    Ascii = 1,          // the text as it stands
    HexSequential = 2,  // "XXXX " groups, byte c1c2 then c3c4
    HexReverse = 3,     // "XXXX " groups, byte c3c4 then c1c2
    UnicodeText = 4,    // the clipboard's UTF-16 text, no code page between
};

// Removes every "\r\n\r\n", scanning left to right without looking back at
// what closes up.
std::string DecodeAscii(std::string_view text, const AnsiLeadBytes& lead = {});

// The same for the clipboard's UTF-16 text, which needs no lead bytes.
std::u16string DecodeUnicodeText(std::u16string_view text);

// Removes every "\r\n", checks the "XXXX " group format and yields two bytes
// per four-character piece. nullopt when the format check fails (dropped
// silently); throws AppError "'$G0' is not a valid integer value" for a pair
// that is not two hexadecimal digits.
std::optional<std::string> DecodeSeqHex(std::string_view text, const AnsiLeadBytes& lead = {});
std::optional<std::string> DecodeRevHex(std::string_view text, const AnsiLeadBytes& lead = {});

// Decodes by the get-text method; nullopt when the text is dropped (unknown
// method or failed format check).
std::optional<std::string> DecodeByMethod(int method, std::string_view text, const AnsiLeadBytes& lead = {});

// Appends to `list` the pieces of `text` between occurrences of `separator`,
// always ending with the piece after the last separator. The list is not
// cleared first.
void SeperateStr(std::string_view text, char separator, std::vector<std::string>& list);

} // namespace kx
