#include "capture/text_decoding.h"

#include "common/app_error.h"

#include <cstdint>
#include <cstring>

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

// Value of every two-character pair, or -1 when it is not two hex digits;
// one lookup per pair keeps large texts fast.
const std::array<int16_t, 65536>& PairTable()
{
    static const std::array<int16_t, 65536> table = [] {
        std::array<int16_t, 65536> t{};
        for (int first = 0; first < 256; ++first)
            for (int second = 0; second < 256; ++second) {
                const int hi = kHexDigit[first];
                const int lo = kHexDigit[second];
                t[first | (second << 8)] = static_cast<int16_t>((hi | lo) < 0 ? -1 : (hi << 4) | lo);
            }
        return t;
    }();
    return table;
}

[[noreturn]] void ThrowBadPair(const char* pair)
{
    std::string message = "'$";
    message.append(pair, 2);
    message += "' is not a valid integer value";
    throw AppError(message);
}

// Decodes "XXXX " groups. The text splits into pieces at every space; since
// every fifth character must be a space, no piece crosses a group, and a
// piece has four characters exactly when its group holds no other space: only
// those yield bytes. The empty piece behind the final space is never looked
// at. Unless the line breaks are already gone, "\r\n" pairs are skipped on
// the way (left to right, what closes up is not looked at again). One pass: a bad pair is remembered and raised only
// once the whole text has passed the format check, which drops a malformed
// text silently.
class GroupDecoder {
public:
    GroupDecoder(std::size_t sizeHint, bool reverse, bool skipLineBreaks)
        : bytes_(sizeHint / 5 * 2, '\0'), reverse_(reverse), skipLineBreaks_(skipLineBreaks)
    {
    }

    std::optional<std::string> Run(std::string_view text)
    {
        const char* p = text.data();
        const char* end = p + text.size();
        char* out = bytes_.data();
        while (p < end) {
            // Whole groups up to the next CR need no line-break handling.
            const void* found = skipLineBreaks_ ? std::memchr(p, '\r', static_cast<std::size_t>(end - p)) : nullptr;
            const char* cr = found ? static_cast<const char*>(found) : end;
            while (cr - p >= 5) {
                if (!Group(reinterpret_cast<const unsigned char*>(p), out))
                    return std::nullopt;
                p += 5;
            }
            if (p == end)
                break;
            // A group that holds a CR: gather five characters, skipping "\r\n".
            char group[5];
            int k = 0;
            while (k < 5 && p < end) {
                if (skipLineBreaks_ && p[0] == '\r' && p + 1 < end && p[1] == '\n') {
                    p += 2;
                    continue;
                }
                group[k++] = *p++;
            }
            if (k == 0)
                break;
            if (k < 5 || !Group(reinterpret_cast<const unsigned char*>(group), out))
                return std::nullopt;
        }
        if (badPairSeen_)
            ThrowBadPair(badPair_);
        bytes_.resize(static_cast<std::size_t>(out - bytes_.data()));
        return std::move(bytes_);
    }

private:
    // False when the group breaks the format.
    bool Group(const unsigned char* g, char*& out)
    {
        if (g[4] != ' ')
            return false;
        if (badPairSeen_ || g[0] == ' ' || g[1] == ' ' || g[2] == ' ' || g[3] == ' ')
            return true;
        const int first = pairs_[g[0] | (g[1] << 8)];
        const int second = pairs_[g[2] | (g[3] << 8)];
        if ((first | second) < 0) {
            const unsigned char* bad = first < 0 ? g : g + 2;
            badPair_[0] = static_cast<char>(bad[0]);
            badPair_[1] = static_cast<char>(bad[1]);
            badPairSeen_ = true;
            return true;
        }
        out[0] = static_cast<char>(reverse_ ? second : first);
        out[1] = static_cast<char>(reverse_ ? first : second);
        out += 2;
        return true;
    }

    const std::array<int16_t, 65536>& pairs_ = PairTable();
    std::string bytes_;
    bool reverse_;
    bool skipLineBreaks_;
    bool badPairSeen_ = false;
    char badPair_[2] = {};
};

std::optional<std::string> DecodeHex(std::string_view raw, bool reverse, const AnsiLeadBytes& lead)
{
    if (HasLeadBytes(lead) && raw.find('\r') != std::string_view::npos) {
        // A CR may be the trail byte of a double-byte character: the line
        // breaks are removed character-wise, once, and what is left (a CR LF
        // behind a lead byte included) goes to the groups as it stands.
        const std::string text = RemoveAll(raw, "\r\n", lead);
        return GroupDecoder(text.size(), reverse, false).Run(text);
    }
    return GroupDecoder(raw.size(), reverse, true).Run(raw);
}

} // namespace

std::string DecodeAscii(std::string_view text, const AnsiLeadBytes& lead)
{
    return RemoveAll(text, "\r\n\r\n", lead);
}

std::u16string DecodeUnicodeText(std::u16string_view text)
{
    constexpr std::u16string_view kEmptyLine = u"\r\n\r\n";
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, kEmptyLine.size(), kEmptyLine) == 0) {
            i += kEmptyLine.size();
        } else {
            out.push_back(text[i]);
            ++i;
        }
    }
    return out;
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
