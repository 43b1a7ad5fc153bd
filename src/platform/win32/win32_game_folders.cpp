#include "platform/win32/win32_game_folders.h"

#include "common/windows_wide.h"
#include "platform/win32/win32_text_files.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace kx::win32 {

Win32GameFolders::Win32GameFolders(std::wstring programFolder) : games_(std::move(programFolder) + L"Games\\") {}

std::vector<std::u16string> Win32GameFolders::GameNames()
{
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((games_ + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
            names.push_back(Utf16(name));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

FileReadResult Win32GameFolders::ReadGameFile(const std::u16string& game, std::u16string_view file)
{
    return ReadFileAt(Wide(GameFilePath(game, file)));
}

bool Win32GameFolders::MakeFolder(const std::u16string& game)
{
    // Both folders may be missing; one that exists already is no failure.
    const std::wstring folder = games_ + Wide(game);
    for (const std::wstring& step : {games_, folder})
        if (!::CreateDirectoryW(step.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    return true;
}

bool Win32GameFolders::AppendGameFile(const std::u16string& game, std::u16string_view file, std::string_view bytes)
{
    if (!MakeFolder(game))
        return false;
    // FILE_APPEND_DATA: every write goes to the end, whoever else appends.
    HANDLE handle = ::CreateFileW(Wide(GameFilePath(game, file)).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bool written = true;
    while (written && !bytes.empty()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        written = ::WriteFile(handle, bytes.data(), chunk, &wrote, nullptr) && wrote != 0;
        bytes.remove_prefix(wrote);
    }
    ::CloseHandle(handle);
    return written;
}

bool Win32GameFolders::ReplaceGameFile(const std::u16string& game, std::u16string_view file, std::string_view bytes)
{
    if (!MakeFolder(game))
        return false;
    const std::wstring path = Wide(GameFilePath(game, file));
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    return ReplaceFileWith(path + L".tmp", path, bytes) == ERROR_SUCCESS;
}

std::u16string Win32GameFolders::GameFilePath(const std::u16string& game, std::u16string_view file)
{
    return Utf16(games_) + game + u"\\" + std::u16string(file);
}

std::wstring ProgramFolder()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size()) {
            std::wstring path(buffer.data(), length);
            return path.substr(0, path.find_last_of(L"\\/") + 1);
        }
        buffer.resize(buffer.size() * 2);  // cut off: try a larger buffer
    }
}

} // namespace kx::win32
