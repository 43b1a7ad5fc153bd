// A stand-in for the AGTH executable in the end-to-end tests: it hooks
// nothing; it writes the parameter text it was started with and its working
// directory, as UTF-8 lines, to "agth-call.txt" beside itself, and ends.
// A GUI-subsystem program, so that starting it opens no console.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                          nullptr);
    return out;
}

// The command line after the program's own name and the one blank after it.
std::wstring Parameters(const wchar_t* line)
{
    const wchar_t* p = line;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p)
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    if (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t self[MAX_PATH * 4] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    std::wstring out = self;
    out.resize(out.rfind(L'\\') + 1);
    out += L"agth-call.txt";
    wchar_t cwd[MAX_PATH * 4] = {};
    ::GetCurrentDirectoryW(MAX_PATH * 4, cwd);
    const std::string text = "parameters=" + Utf8(Parameters(::GetCommandLineW())) + "\r\ndirectory=" + Utf8(cwd) +
                             "\r\n";
    // Written to a temporary name and renamed: a reader never sees half a file.
    const std::wstring temporary = out + L".tmp";
    HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    if (!ok || !::MoveFileExW(temporary.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING))
        return 1;
    return 0;
}
