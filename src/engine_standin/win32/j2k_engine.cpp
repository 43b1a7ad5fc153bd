// The stand-in J2KEngine.dll: the engine's five entry points in front of the
// kana transcription. It answers Shift-JIS text with the same text, its kana
// written in Hangul, in code page 949. It keeps no state beyond
// "initialised". For tests, two environment variables change how it works,
// never what it answers: KX_STANDIN_DELAY_MS makes every translation take
// that long, and KX_STANDIN_CALL_LOG names a file that gets one line per
// translation (the input's bytes in hexadecimal). Without them it writes
// nothing anywhere.
#include "engine_standin/engine_arguments.h"
#include "engine_standin/kana_transcription.h"
#include "platform/win32/win32_code_pages.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kShiftJis = 932;
constexpr int kKorean = 949;

std::atomic<bool> g_initialised{false};

DWORD DelayFromEnvironment()
{
    char value[16] = {};
    const DWORD length = ::GetEnvironmentVariableA("KX_STANDIN_DELAY_MS", value, sizeof value);
    if (length == 0 || length >= sizeof value)
        return 0;
    char* end = nullptr;
    const unsigned long ms = std::strtoul(value, &end, 10);
    return (end && *end == '\0' && ms <= 60000) ? static_cast<DWORD>(ms) : 0;
}

void LogCall(const char* input)
{
    char path[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA("KX_STANDIN_CALL_LOG", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return;
    std::string line;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (const char* p = input; *p; ++p) {
        const auto b = static_cast<unsigned char>(*p);
        line.push_back(kDigits[b >> 4]);
        line.push_back(kDigits[b & 15]);
    }
    line += "\r\n";
    HANDLE file = ::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
}

bool IsDirectory(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A null-terminated copy on the process heap; J2K_FreeMem releases it.
char* HeapCopy(const std::string& bytes)
{
    auto* buffer = static_cast<char*>(::HeapAlloc(::GetProcessHeap(), 0, bytes.size() + 1));
    if (buffer == nullptr)
        return nullptr;
    std::memcpy(buffer, bytes.data(), bytes.size());
    buffer[bytes.size()] = '\0';
    return buffer;
}

} // namespace

// No exception may leave an entry point: the caller is C code across a DLL
// boundary. A failure inside reads as "not initialised" or "no answer".
extern "C" {

int __stdcall J2K_InitializeEx(const char* userKey, const char* dataFolder)
{
    bool ok = false;
    try {
        ok = userKey != nullptr && dataFolder != nullptr && kx::standin::IsUserKeyForm(userKey) &&
             IsDirectory(kx::standin::UndoubleBackslashes(dataFolder));
    } catch (...) {
        ok = false;
    }
    g_initialised = ok;
    return ok ? 1 : 0;
}

char* __stdcall J2K_TranslateMMNT(int /*reserved*/, const char* shiftJisText)
{
    if (!g_initialised || shiftJisText == nullptr)
        return nullptr;
    try {
        LogCall(shiftJisText);
        if (const DWORD delay = DelayFromEnvironment())
            ::Sleep(delay);
        kx::win32::Win32CodePages codePages;
        return HeapCopy(
            codePages.FromWide(kx::standin::TranscribeKana(codePages.ToWide(shiftJisText, kShiftJis)), kKorean));
    } catch (...) {
        return nullptr;
    }
}

void __stdcall J2K_FreeMem(char* translation)
{
    if (translation != nullptr)
        ::HeapFree(::GetProcessHeap(), 0, translation);
}

// A translation runs to its end inside J2K_TranslateMMNT, so by the time the
// caller can say stop there is nothing left running to stop.
void __stdcall J2K_StopTranslation(int /*reserved*/) {}

void __stdcall J2K_Terminate()
{
    g_initialised = false;
}

} // extern "C"
