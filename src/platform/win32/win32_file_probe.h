#pragma once
// The file-existence test on GetFileAttributesW.
#include "platform/file_probe_port.h"

namespace kx::win32 {

class Win32FileProbe : public FileProbePort {
public:
    bool IsExistingFile(const std::u16string& path) override;
};

} // namespace kx::win32
