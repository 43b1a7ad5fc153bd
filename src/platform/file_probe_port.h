#pragma once
// Whether a path names an existing file.
#include <string>

namespace kx {

class FileProbePort {
public:
    virtual ~FileProbePort() = default;
    // True when the path exists and is not a directory.
    virtual bool IsExistingFile(const std::u16string& path) = 0;
};

} // namespace kx
