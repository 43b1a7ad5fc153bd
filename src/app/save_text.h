#pragma once
// The saved log file: UTF-16 little-endian with a byte-order mark, the log's
// text exactly as the view holds it.
#include <string>

namespace kx {

inline std::string SavedLogBytes(const std::u16string& text)
{
    std::string bytes("\xFF\xFE", 2);
    bytes.reserve(2 + text.size() * 2);
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

} // namespace kx
