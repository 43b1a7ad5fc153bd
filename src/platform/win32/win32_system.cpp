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

void SearchDllsInKnownFoldersOnly()
{
    // Looked up, not imported: a Windows 7 without its update KB2533623 lacks
    // it, and there the current folder at least leaves the search.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_APPLICATION_DIR))
        ::SetDllDirectoryW(L"");
}

LibraryHandle Win32Libraries::Load(const std::string& path)
{
    const DWORD size = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return nullptr;
    std::vector<char> full(size + 1, '\0');
    if (::GetFullPathNameA(path.c_str(), size + 1, full.data(), nullptr) == 0)
        return nullptr;
    return reinterpret_cast<LibraryHandle>(::LoadLibraryExA(full.data(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
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
