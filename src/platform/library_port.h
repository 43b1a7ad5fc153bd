#pragma once
// Run-time loading of a dynamic library and lookup of its entry points.
#include <string>

namespace kx {

using LibraryHandle = void*;   // null: not loaded
using EntryAddress = void*;    // null: not exported

class LibraryPort {
public:
    virtual ~LibraryPort() = default;
    // Loads the library at the 8-bit path; null on failure.
    virtual LibraryHandle Load(const std::string& path) = 0;
    // Looks an entry point up by its plain name; null when absent.
    virtual EntryAddress Find(LibraryHandle library, const char* name) = 0;
    virtual void Unload(LibraryHandle library) = 0;
};

} // namespace kx
