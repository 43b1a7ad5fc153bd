#pragma once
#include <string>

namespace kx {

// "KestruneEX! v" + file version + " DivuvEvir"; with no version the two
// literals stand with nothing between them.
inline std::string BuildProgramTitle(const std::string& fileVersion)
{
    return "KestruneEX! v" + fileVersion + " DivuvEvir";
}

inline constexpr const char* kApplicationTitle = "KestruneEX!";
inline constexpr const char* kEngineSuccessLine = "Initialize the Translation Engine ..... Success";

} // namespace kx
