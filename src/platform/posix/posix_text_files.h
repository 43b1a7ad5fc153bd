#pragma once
// Whole-file access on POSIX, for the native build and its tests. A file
// without any write permission bit counts as read-only and is not replaced,
// as Windows does not replace a file with the read-only attribute.
#include "platform/text_file_port.h"

namespace kx {

class PosixTextFiles : public TextFilePort {
public:
    FileReadResult ReadWholeFile(const std::string& path) override;
    bool ReplaceWholeFile(const std::string& path, std::string_view bytes) override;
};

} // namespace kx
