#include "platform/win32/save_text_file.h"

#include "common/windows_wide.h"
#include "platform/win32/win32_code_pages.h"
#include "platform/win32/win32_text_files.h"

#include <windows.h>

#include <iterator>

namespace kx::win32 {
namespace {

std::u16string CannotCreateFileMessage(const std::wstring& path, DWORD error)
{
    wchar_t full[MAX_PATH * 4] = {};
    ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
    wchar_t* description = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&description), 0, nullptr);
    std::wstring message = std::wstring(L"Cannot create file \"") + full + L"\". " + (description ? description : L"");
    if (description)
        ::LocalFree(description);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    if (!message.empty() && message.back() > L'.')
        message.push_back(L'.');
    return Utf16(message);
}

// The folder part of `path` ("." when it names none).
std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/:");
    if (slash == std::wstring::npos)
        return L".";
    return path.substr(0, slash + 1);
}

} // namespace

std::optional<std::u16string> SaveTextFile(const std::wstring& path, std::string_view bytes)
{
    DWORD error = ERROR_SUCCESS;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        error = ERROR_ACCESS_DENIED;
    } else {
        // A name of its own, so that no other file beside the target is touched.
        wchar_t temporary[MAX_PATH * 4] = {};
        if (!::GetTempFileNameW(FolderOf(path).c_str(), L"kx", 0, temporary))
            error = ::GetLastError();
        else
            error = ReplaceFileWith(temporary, path, bytes);
    }
    if (error == ERROR_SUCCESS)
        return std::nullopt;
    return CannotCreateFileMessage(path, error);
}

} // namespace kx::win32
