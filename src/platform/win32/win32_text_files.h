#pragma once
// Whole-file access on Win32: CreateFileW/ReadFile, and a replacement written
// to "<path>.tmp", flushed, then moved over the file with MoveFileExA
// (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
#include "platform/text_file_port.h"

#include <string>

namespace kx::win32 {

class Win32TextFiles : public TextFilePort {
public:
    FileReadResult ReadWholeFile(const std::string& path) override;
    bool ReplaceWholeFile(const std::string& path, std::string_view bytes) override;
};

// Reads the whole file at the UTF-16 path.
FileReadResult ReadFileAt(const std::wstring& path);

// Writes `bytes` to the file `temporary` (created or emptied), flushes it and
// moves it over `path` (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
// ERROR_SUCCESS, or the first failure's error code; `temporary` is then
// deleted and `path` holds what it held before.
unsigned long ReplaceFileWith(const std::wstring& temporary, const std::wstring& path, std::string_view bytes);

// Full 8-bit path of the running program's executable (GetModuleFileNameA).
std::string ProgramFilePath();

} // namespace kx::win32
