#include "platform/win32/win32_system.h"

#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <vector>

namespace kx::win32 {

RegistryString Win32Registry::ReadCurrentUserString(const std::string& key, const std::string& valueName,
                                                    std::size_t bufferBytes)
{
    RegistryString result;
    HKEY raw = nullptr;
    if (::RegOpenKeyA(HKEY_CURRENT_USER, key.c_str(), &raw) != ERROR_SUCCESS)
        return result;
    UniqueRegKey opened(raw);
    result.keyOpened = true;

    std::vector<char> buffer(bufferBytes + 1, '\0');  // one spare byte keeps it terminated
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(bufferBytes);
    const LONG rc = ::RegQueryValueExA(opened.Get(), valueName.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ))
        result.value = std::string(buffer.data());
    return result;
}

bool Win32FileSystem::IsExistingFolder(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

LibraryHandle Win32Libraries::Load(const std::string& path)
{
    return reinterpret_cast<LibraryHandle>(::LoadLibraryA(path.c_str()));
}

EntryAddress Win32Libraries::Find(LibraryHandle library, const char* name)
{
    return reinterpret_cast<EntryAddress>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void Win32Libraries::Unload(LibraryHandle library)
{
    if (library)
        ::FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace kx::win32
