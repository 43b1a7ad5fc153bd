#pragma once
#include <string>

namespace kx {

class FileSystemPort {
public:
    virtual ~FileSystemPort() = default;
    // True when the 8-bit path names an existing folder.
    virtual bool IsExistingFolder(const std::string& path) = 0;
};

} // namespace kx
