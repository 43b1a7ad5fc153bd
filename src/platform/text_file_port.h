#pragma once
// Whole-file access for files the program writes itself (the settings file):
// read all bytes, and replace a file in one step so that a crash, a kill or a
// full disk leaves either the old or the new content, never a mix.
#include <string>
#include <string_view>

namespace kx {

enum class FileReadStatus {
    Read,      // `bytes` holds the whole file
    Missing,   // neither the file nor (maybe) its folder exists
    Failed,    // the file exists but could not be read
};

struct FileReadResult {
    FileReadStatus status = FileReadStatus::Missing;
    std::string bytes;
};

class TextFilePort {
public:
    virtual ~TextFilePort() = default;
    // Reads the whole file at the 8-bit path.
    virtual FileReadResult ReadWholeFile(const std::string& path) = 0;
    // Writes `bytes` to a temporary file beside `path`, flushes it to the disk
    // and moves it over `path` in one step. A read-only file at `path` is not
    // replaced. False on any failure; `path` then holds what it held before and
    // no temporary file is left behind.
    virtual bool ReplaceWholeFile(const std::string& path, std::string_view bytes) = 0;
};

// The temporary file that ReplaceWholeFile writes before the move.
inline std::string ReplacementFilePath(const std::string& path) { return path + ".tmp"; }

} // namespace kx
