#pragma once
// Registry, file-system and library-loading ports on the real Win32 calls.
#include "platform/file_system_port.h"
#include "platform/library_port.h"
#include "platform/registry_port.h"

namespace kx::win32 {

class Win32Registry : public RegistryPort {
public:
    RegistryString ReadCurrentUserString(const std::string& key, const std::string& valueName,
                                         std::size_t bufferBytes) override;
};

class Win32FileSystem : public FileSystemPort {
public:
    bool IsExistingFolder(const std::string& path) override;
};

// Process-wide, once at start: DLLs loaded by name come only from the
// system folder and the program's own, never from the current folder.
void SearchDllsInKnownFoldersOnly();

class Win32Libraries : public LibraryPort {
public:
    // From the full path (a relative one is made full), with the library's
    // own folder first in the search for the DLLs it needs.
    LibraryHandle Load(const std::string& path) override;
    EntryAddress Find(LibraryHandle library, const char* name) override;
    void Unload(LibraryHandle library) override;
};

} // namespace kx::win32
