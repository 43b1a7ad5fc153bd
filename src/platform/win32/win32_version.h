#pragma once
#include <string>

namespace kx::win32 {

// "FileVersion" of the string table "041203B5" in the version resource of the
// given module file (the running executable when empty); "" when absent.
std::string ReadFileVersion(const std::string& modulePath = {});

} // namespace kx::win32
