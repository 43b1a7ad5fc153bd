#include "platform/win32/win32_text_files.h"

#include "common/windows_wide.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_code_pages.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace kx::win32 {

FileReadResult Win32TextFiles::ReadWholeFile(const std::string& path)
{
    return ReadFileAt(Wide(AnsiToU16(path)));
}

FileReadResult ReadFileAt(const std::wstring& path)
{
    FileReadResult result;
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        result.status = (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? FileReadStatus::Missing
                                                                                         : FileReadStatus::Failed;
        return result;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > 0x7FFFFFFF) {
        result.status = FileReadStatus::Failed;
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(result.bytes.size() - done);
        if (!::ReadFile(file.Get(), result.bytes.data() + done, want, &got, nullptr)) {
            result.status = FileReadStatus::Failed;
            result.bytes.clear();
            return result;
        }
        if (got == 0)
            break;   // the file shrank meanwhile
        done += got;
    }
    result.bytes.resize(done);
    result.status = FileReadStatus::Read;
    return result;
}

bool Win32TextFiles::ReplaceWholeFile(const std::string& path, std::string_view bytes)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    return ReplaceFileWith(Wide(AnsiToU16(ReplacementFilePath(path))), Wide(AnsiToU16(path)), bytes) == ERROR_SUCCESS;
}

unsigned long ReplaceFileWith(const std::wstring& temporary, const std::wstring& path, std::string_view bytes)
{
    UniqueFileHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());   // GetTempFileNameW may have created it
        return error;
    }
    bool written = true;
    while (written && !bytes.empty()) {
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        written = ::WriteFile(file.Get(), bytes.data(), want, &put, nullptr) && put > 0;
        bytes.remove_prefix(put);
    }
    written = written && ::FlushFileBuffers(file.Get());
    DWORD error = ERROR_SUCCESS;
    if (!written)
        error = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_WRITE_FAULT;
    if (!::CloseHandle(file.Release()) && error == ERROR_SUCCESS)
        error = ::GetLastError();
    if (error == ERROR_SUCCESS &&
        !::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = ::GetLastError();
    if (error != ERROR_SUCCESS)
        ::DeleteFileW(temporary.c_str());
    return error;
}

std::string ProgramFilePath()
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::string();
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);   // cut off: try a larger buffer
    }
}

} // namespace kx::win32
