#include "companion/websocket_handshake.h"

#include <array>
#include <cstdint>

namespace kx {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::uint32_t RotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void Sha1Block(std::array<std::uint32_t, 5>& h, const unsigned char* block)
{
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = static_cast<std::uint32_t>(block[4 * i]) << 24 | static_cast<std::uint32_t>(block[4 * i + 1]) << 16 |
               static_cast<std::uint32_t>(block[4 * i + 2]) << 8 | block[4 * i + 3];
    for (int i = 16; i < 80; ++i)
        w[i] = RotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const std::uint32_t next = RotateLeft(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = RotateLeft(b, 30);
        b = a;
        a = next;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::string Sha1(std::string_view bytes)
{
    std::array<std::uint32_t, 5> h = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::size_t at = 0;
    for (; bytes.size() - at >= 64; at += 64)
        Sha1Block(h, reinterpret_cast<const unsigned char*>(bytes.data() + at));
    // The tail, a 1 bit, zeros, and the length in bits: one block or two.
    unsigned char tail[128] = {};
    const std::size_t left = bytes.size() - at;
    bytes.copy(reinterpret_cast<char*>(tail), left, at);
    tail[left] = 0x80;
    const std::size_t tailSize = left < 56 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailSize - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    for (std::size_t block = 0; block < tailSize; block += 64)
        Sha1Block(h, tail + block);

    std::string digest(20, '\0');
    for (int i = 0; i < 20; ++i)
        digest[i] = static_cast<char>(h[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

std::string Base64(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out.push_back(k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=');
    }
    return out;
}

std::optional<std::string> DecodeBase64(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        // "=" may stand only for the last one or two letters of the last group.
        const std::size_t padding = !last ? 0 : text[i + 3] != '=' ? 0 : text[i + 2] != '=' ? 1 : 2;
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int value = k < 4 - padding ? Base64Value(text[i + k]) : 0;
            if (value < 0)
                return std::nullopt;
            group = group << 6 | static_cast<std::uint32_t>(value);
        }
        const std::size_t n = 3 - padding;
        if ((group & ((1u << (8 * (3 - n))) - 1)) != 0)
            return std::nullopt;  // bits past the last byte: another writing of the same bytes
        for (std::size_t k = 0; k < n; ++k)
            out.push_back(static_cast<char>(group >> (16 - 8 * k)));
    }
    return out;
}

std::string WebSocketAccept(std::string_view key)
{
    std::string joined(key);
    joined += "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    return Base64(Sha1(joined));
}

} // namespace kx
