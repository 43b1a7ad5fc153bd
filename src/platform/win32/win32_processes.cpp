#include "platform/win32/win32_processes.h"

#include "common/windows_wide.h"

#include <shellapi.h>
#include <tlhelp32.h>

// The 8-bit variants: names in the system code page, entries of 296 bytes.
#undef Process32First
#undef Process32Next
#undef PROCESSENTRY32

#include <cstring>
#include <string>

namespace kx::win32 {

std::vector<ProcessEntry> Win32ProcessSnapshot::Processes()
{
    std::vector<ProcessEntry> processes;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return processes;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
        const size_t length = ::strnlen(entry.szExeFile, sizeof entry.szExeFile);
        processes.push_back({static_cast<std::uint32_t>(entry.th32ProcessID), std::string(entry.szExeFile, length)});
        entry.dwSize = sizeof entry;
    }
    ::CloseHandle(snapshot);
    return processes;
}

void Win32ProgramLauncher::Launch(const LaunchRequest& request)
{
    const std::wstring program = Wide(request.program);
    const std::wstring parameters = Wide(request.parameters);
    const std::wstring directory = Wide(request.directory);
    ::ShellExecuteW(owner_, L"open", program.c_str(), parameters.c_str(),
                    directory.empty() ? nullptr : directory.c_str(), SW_SHOWNORMAL);
}

} // namespace kx::win32
