#include "common/utf.h"

#include <cstdint>

namespace kx {
namespace {

// One UTF-8 sequence read at `i`: its code point (U+FFFD for a byte that
// starts none) and its length in bytes.
struct Sequence {
    std::uint32_t c = 0xFFFD;
    std::size_t length = 1;
    bool wellFormed = false;
};

Sequence SequenceAt(std::string_view bytes, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k])); };
    const auto continuation = [&](std::size_t k) { return k < bytes.size() && (at(k) & 0xC0) == 0x80; };
    const std::uint32_t lead = at(i);
    Sequence s;
    if (lead < 0x80) {
        return {lead, 1, true};
    } else if (lead >= 0xC0 && lead < 0xE0 && continuation(i + 1)) {
        s = {((lead & 0x1F) << 6) | (at(i + 1) & 0x3F), 2};
        s.wellFormed = s.c >= 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
        s = {((lead & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F), 3};
        s.wellFormed = s.c >= 0x800 && (s.c < 0xD800 || s.c > 0xDFFF);
    } else if (lead >= 0xF0 && lead < 0xF8 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
        s = {((lead & 0x07) << 18) | ((at(i + 1) & 0x3F) << 12) | ((at(i + 2) & 0x3F) << 6) | (at(i + 3) & 0x3F), 4};
        s.wellFormed = s.c >= 0x10000 && s.c < 0x110000;
    }
    return s;
}

void AppendUnits(std::u16string& out, std::uint32_t c)
{
    if (c >= 0x10000 && c < 0x110000) {
        out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c < 0x10000 ? c : 0xFFFD));
    }
}

} // namespace

std::string Utf8FromUtf16(std::u16string_view units)
{
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00u);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string Utf16FromUtf8(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const Sequence s = SequenceAt(bytes, i);
        AppendUnits(out, s.c);
        i += s.length;
    }
    return out;
}

std::u16string Utf16FromUtf8Replacing(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const Sequence s = SequenceAt(bytes, i);
        AppendUnits(out, s.wellFormed ? s.c : 0xFFFD);
        i += s.length;
    }
    return out;
}

std::optional<std::u16string> Utf16FromWellFormedUtf8(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const Sequence s = SequenceAt(bytes, i);
        if (!s.wellFormed)
            return std::nullopt;
        AppendUnits(out, s.c);
        i += s.length;
    }
    return out;
}

} // namespace kx
