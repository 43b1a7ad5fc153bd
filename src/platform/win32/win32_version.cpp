#include "platform/win32/win32_version.h"

#include <windows.h>

#include <vector>

namespace kx::win32 {

std::string ReadFileVersion(const std::string& modulePath)
{
    std::string path = modulePath;
    if (path.empty()) {
        char buffer[MAX_PATH * 4] = {};
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
        path.assign(buffer, length);
    }
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0)
        return {};
    std::vector<char> info(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, info.data()))
        return {};
    char* value = nullptr;
    UINT valueLength = 0;
    if (!::VerQueryValueA(info.data(), "StringFileInfo\\041203B5\\FileVersion", reinterpret_cast<void**>(&value),
                          &valueLength) ||
        !value)
        return {};
    return std::string(value);
}

} // namespace kx::win32
