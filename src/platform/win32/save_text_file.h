#pragma once
// "Save text as..": the log's bytes written to the chosen file so that a
// failed write (disk full, file locked) leaves an existing file as it was.
#include <optional>
#include <string>
#include <string_view>

namespace kx::win32 {

// Writes `bytes` to a new temporary file in the folder of `path`, flushes it
// and only then moves it over `path`. nullopt on success; otherwise `path` is
// untouched, no temporary file is left, and the result is the application's
// error text: Cannot create file "<full path>". <the system's description>.
std::optional<std::u16string> SaveTextFile(const std::wstring& path, std::string_view bytes);

} // namespace kx::win32
