#include "capture/text_decoding.h"

#include "common/app_error.h"

#include <cstdint>

namespace kx {
namespace {

bool HasLeadBytes(const AnsiLeadBytes& lead)
{
    for (bool b : lead.isLead)
        if (b)
            return true;
    return false;
}

// Copies `text` without the occurrences of `pattern` (which starts with CR),
// scanning left to right over ANSI characters: a match may not start on the
// trail byte of a double-byte character, and the scan resumes behind each
// removed match, so what closes up is not looked at again.
std::string RemoveAll(std::string_view text, std::string_view pattern, const AnsiLeadBytes& lead)
{
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    const std::size_t m = pattern.size();

    if (!HasLeadBytes(lead)) {
        // Single-byte code page: copy whole runs between CR bytes.
        std::size_t i = 0;
        while (i < n) {
            std::size_t cr = text.find(pattern[0], i);
            if (cr == std::string_view::npos) {
                out.append(text.data() + i, n - i);
                break;
            }
            out.append(text.data() + i, cr - i);
            if (text.compare(cr, m, pattern) == 0) {
                i = cr + m;
            } else {
                out.push_back(text[cr]);
                i = cr + 1;
            }
        }
        return out;
    }

    std::size_t i = 0;
    while (i < n) {
        if (text[i] == pattern[0] && text.compare(i, m, pattern) == 0) {
            i += m;
            continue;
        }
        const std::size_t width = (lead.isLead[static_cast<unsigned char>(text[i])] && i + 1 < n) ? 2 : 1;
        out.append(text.data() + i, width);
        i += width;
    }
    return out;
}

constexpr std::array<int8_t, 256> MakeHexTable()
{
    std::array<int8_t, 256> t{};
    for (auto& v : t)
        v = -1;
    for (int c = '0'; c <= '9'; ++c)
        t[c] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        t[c] = static_cast<int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        t[c] = static_cast<int8_t>(c - 'a' + 10);
    return t;
}
constexpr std::array<int8_t, 256> kHexDigit = MakeHexTable();

[[noreturn]] void ThrowBadPair(char c1, char c2)
{
    std::string message = "'$";
    message.push_back(c1);
    message.push_back(c2);
    message += "' is not a valid integer value";
    throw AppError(message);
}

char PairValue(char c1, char c2)
{
    const int hi = kHexDigit[static_cast<unsigned char>(c1)];
    const int lo = kHexDigit[static_cast<unsigned char>(c2)];
    if ((hi | lo) < 0)
        ThrowBadPair(c1, c2);
    return static_cast<char>((hi << 4) | lo);
}

bool HasGroupFormat(std::string_view text)
{
    if (text.size() % 5 != 0)
        return false;
    for (std::size_t p = 4; p < text.size(); p += 5)
        if (text[p] != ' ')
            return false;
    return true;
}

std::optional<std::string> DecodeHex(std::string_view raw, bool reverse, const AnsiLeadBytes& lead)
{
    const std::string text = RemoveAll(raw, "\r\n", lead);
    if (!HasGroupFormat(text))
        return std::nullopt;

    // The text splits into pieces at every space. Since every fifth character
    // is a space, no piece crosses a group, and a piece has four characters
    // exactly when its group holds no other space; only those yield bytes. The
    // empty piece behind the final space is never examined.
    std::string bytes(text.size() / 5 * 2, '\0');
    std::size_t produced = 0;
    const char* g = text.data();
    const char* end = g + text.size();
    for (; g != end; g += 5) {
        if (g[0] == ' ' || g[1] == ' ' || g[2] == ' ' || g[3] == ' ')
            continue;
        const char first = PairValue(g[0], g[1]);
        const char second = PairValue(g[2], g[3]);
        bytes[produced++] = reverse ? second : first;
        bytes[produced++] = reverse ? first : second;
    }
    bytes.resize(produced);
    return bytes;
}

} // namespace

std::string DecodeAscii(std::string_view text, const AnsiLeadBytes& lead)
{
    return RemoveAll(text, "\r\n\r\n", lead);
}

std::optional<std::string> DecodeSeqHex(std::string_view text, const AnsiLeadBytes& lead)
{
    return DecodeHex(text, false, lead);
}

std::optional<std::string> DecodeRevHex(std::string_view text, const AnsiLeadBytes& lead)
{
    return DecodeHex(text, true, lead);
}

std::optional<std::string> DecodeByMethod(int method, std::string_view text, const AnsiLeadBytes& lead)
{
    switch (method) {
    case Ascii:
        return DecodeAscii(text, lead);
    case HexSequential:
        return DecodeSeqHex(text, lead);
    case HexReverse:
        return DecodeRevHex(text, lead);
    default:
        return std::nullopt;
    }
}

void SeperateStr(std::string_view text, char separator, std::vector<std::string>& list)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == separator) {
            list.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    list.emplace_back(text.substr(start));
}

} // namespace kx
