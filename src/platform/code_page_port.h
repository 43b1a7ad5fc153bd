#pragma once
// Conversion between 8-bit text in a Windows code page and UTF-16.
#include <array>
#include <string>
#include <string_view>

namespace kx {

class CodePagePort {
public:
    virtual ~CodePagePort() = default;
    // Decodes all of `bytes` (no terminator; NUL bytes are ordinary) in `codePage`
    // (0 = the system's ANSI code page). Invalid bytes are replaced by the
    // platform's default rules; never fails.
    virtual std::u16string ToWide(std::string_view bytes, int codePage) = 0;
    // Encodes all of `text` in `codePage`; characters without an equivalent get
    // the platform's default character. Never fails.
    virtual std::string FromWide(std::u16string_view text, int codePage) = 0;
    // True when `codePage` holds every character of `text`: it comes back
    // exactly from the 8-bit form, with no default or best-fit character.
    virtual bool Encodes(std::u16string_view text, int codePage)
    {
        return ToWide(FromWide(text, codePage), codePage) == text;
    }
};

// Lead bytes of the system's ANSI code page. Line-break searches skip the byte
// after a lead byte, so a CR or LF trail byte never counts as a break.
struct AnsiLeadBytes {
    std::array<bool, 256> isLead{};
    static AnsiLeadBytes SingleByte() { return {}; }
};

// Decodes a whole 8-bit string in a Windows code page into UTF-16.
inline std::u16string CodePageToWide(CodePagePort& codePages, std::string_view bytes, int codePage)
{
    return codePages.ToWide(bytes, codePage);
}

} // namespace kx
