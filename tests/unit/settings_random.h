#pragma once
// Random values of the settings file's forms, for the round-trip tests.
#include <cstdint>
#include <random>
#include <string>

namespace kx::testing {

inline std::u16string RandomUtf16(std::mt19937& random, std::size_t length)
{
    std::u16string text;
    while (text.size() < length) {
        switch (random() % 6) {
        case 0: text.push_back(static_cast<char16_t>(0x20 + random() % 0x5F)); break;
        case 1: text.push_back(static_cast<char16_t>(random() % 0x20)); break;   // controls, CR LF, NUL
        case 2: text.push_back(static_cast<char16_t>(0xAC00 + random() % 11172)); break;
        case 3: {
            const std::uint32_t scalar = 0x10000 + random() % 0x100000;   // a surrogate pair
            text.push_back(static_cast<char16_t>(0xD800 + ((scalar - 0x10000) >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + ((scalar - 0x10000) & 0x3FF)));
            break;
        }
        case 4: text.push_back(static_cast<char16_t>(0xD800 + random() % 0x800)); break;   // lone surrogate
        default: text.push_back(static_cast<char16_t>(random() % 0x10000)); break;
        }
    }
    text.resize(length);
    return text;
}

// 8-bit text of one line (what a combo box can hold): any byte but CR, LF and NUL.
inline std::string RandomLine(std::mt19937& random, std::size_t length)
{
    const char edges[] = " \t\"'=;[]\x1a,";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        char c;
        do {
            c = random() % 3 == 0 ? edges[random() % (sizeof edges - 1)] : static_cast<char>(random() % 256);
        } while (c == '\r' || c == '\n' || c == '\0');
        text.push_back(c);
    }
    return text;
}

inline std::int32_t RandomInt(std::mt19937& random)
{
    return random() % 4 == 0 ? static_cast<std::int32_t>(random() % 3) - 1 : static_cast<std::int32_t>(random());
}

} // namespace kx::testing
