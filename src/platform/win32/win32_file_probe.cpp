#include "platform/win32/win32_file_probe.h"

#include "common/windows_wide.h"

#include <windows.h>

namespace kx::win32 {

bool Win32FileProbe::IsExistingFile(const std::u16string& path)
{
    const std::wstring wide = Wide(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace kx::win32
