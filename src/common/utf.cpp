#include "common/utf.h"

#include <cstdint>
#include <utility>

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

namespace kx {
namespace {

// The bytes a lead byte opens a sequence of (0: it opens none) and the range
// its second byte must lie in. Surrogates (ED A0..BF) are let through here,
// for the decoder to pair.
struct Lead {
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};

Lead LeadOf(unsigned char byte)
{
    if (byte < 0x80)
        return {1};
    if (byte >= 0xC2 && byte <= 0xDF)
        return {2};
    if (byte == 0xE0)
        return {3, 0xA0};
    if (byte >= 0xE1 && byte <= 0xEF)
        return {3};
    if (byte == 0xF0)
        return {4, 0x90};
    if (byte >= 0xF1 && byte <= 0xF3)
        return {4};
    if (byte == 0xF4)
        return {4, 0x80, 0x8F};
    return {};
}

// One sequence read at `i`: a code point, or bytes that are none (their
// maximal part, at least one byte), or the start of one that the bytes end
// inside.
struct Scanned {
    enum Kind { Letter, Invalid, Short } kind = Invalid;
    std::uint32_t c = 0;
    std::size_t length = 1;
};

Scanned ScanAt(std::string_view bytes, std::size_t i)
{
    const Lead lead = LeadOf(static_cast<unsigned char>(bytes[i]));
    if (lead.length == 0)
        return {};
    std::uint32_t c = static_cast<unsigned char>(bytes[i]) & (0xFFu >> (lead.length + 1));
    for (std::size_t k = 1; k < lead.length; ++k) {
        if (i + k >= bytes.size())
            return {Scanned::Short, 0, k};
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if (next < (k == 1 ? lead.low : 0x80) || next > (k == 1 ? lead.high : 0xBF))
            return {Scanned::Invalid, 0, k};
        c = (c << 6) | (next & 0x3Fu);
    }
    return {Scanned::Letter, lead.length == 1 ? static_cast<unsigned char>(bytes[i]) : c, lead.length};
}

bool IsHigh(std::uint32_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLow(std::uint32_t c) { return c >= 0xDC00 && c < 0xE000; }

} // namespace

void Utf8Decoder::Append(std::string_view bytes, std::u16string& out)
{
    std::string joined;
    if (!waiting_.empty()) {
        joined = std::exchange(waiting_, {});
        joined.append(bytes);
        bytes = joined;
    }
    for (std::size_t i = 0; i < bytes.size();) {
        const Scanned s = ScanAt(bytes, i);
        if (s.kind == Scanned::Short) {
            waiting_.assign(bytes.substr(i));
            return;
        }
        if (s.kind == Scanned::Invalid || IsLow(s.c)) {
            out.push_back(u'\uFFFD');
            i += s.length;
            continue;
        }
        if (!IsHigh(s.c)) {
            AppendUnits(out, s.c);
            i += s.length;
            continue;
        }
        // A high surrogate: whole only with the low one right after it.
        const std::size_t next = i + s.length;
        const Scanned low = next < bytes.size() ? ScanAt(bytes, next) : Scanned{Scanned::Short, 0, 0};
        if (low.kind == Scanned::Short) {
            waiting_.assign(bytes.substr(i));
            return;
        }
        if (low.kind == Scanned::Letter && IsLow(low.c)) {
            out.push_back(static_cast<char16_t>(s.c));
            out.push_back(static_cast<char16_t>(low.c));
            i = next + low.length;
        } else {
            out.push_back(u'\uFFFD');
            i = next;
        }
    }
}

void Utf8Decoder::Finish(std::u16string& out)
{
    // What waits is a sequence cut short, or a high surrogate alone or
    // before one: each is one U+FFFD now.
    const std::string left = std::exchange(waiting_, {});
    for (std::size_t i = 0; i < left.size(); i += ScanAt(left, i).length)
        out.push_back(u'\uFFFD');
}

} // namespace kx
