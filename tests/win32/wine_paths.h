#pragma once
// Paths for tests that run under Wine: build paths arrive as Unix paths and
// are reached through Wine's Z: drive.
#include <windows.h>

#include <string>

namespace kx::testing {

inline std::string WindowsPathOf(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// A fresh folder under the temporary folder, removed with its files at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name)
    {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + name + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(counter_++);
        ::CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchFolder() { RemoveTree(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

    static void RemoveTree(const std::string& folder)
    {
        WIN32_FIND_DATAA found;
        HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name == "." || name == "..")
                    continue;
                const std::string full = folder + "\\" + name;
                ::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(full);
                else
                    ::DeleteFileA(full.c_str());
            } while (::FindNextFileA(search, &found));
            ::FindClose(search);
        }
        ::SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::RemoveDirectoryA(folder.c_str());
    }

private:
    static inline int counter_ = 0;
    std::string path_;
};

} // namespace kx::testing
