#include "platform/win32/save_text_file.h"
#include "platform/win32/win32_text_files.h"
#include "wine_paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using kx::testing::ScratchFolder;
using kx::win32::SaveTextFile;

namespace {

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string Bytes(const std::string& path) { return kx::win32::Win32TextFiles().ReadWholeFile(path).bytes; }

std::vector<std::string> FilesIn(const ScratchFolder& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder / "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
            names.push_back(found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return names;
}

TEST(SaveTextFileTest, WritesNewFileAndReplacesExistingOneLeavingNothingElse)
{
    ScratchFolder folder("kx-save");
    const std::string path = folder / "log.txt";
    EXPECT_EQ(SaveTextFile(Wide(path), std::string("\xFF\xFE" "a\0b\0", 6)), std::nullopt);
    EXPECT_EQ(Bytes(path), std::string("\xFF\xFE" "a\0b\0", 6));
    // A file of the same name with ".tmp" beside it is none of ours.
    ASSERT_TRUE(kx::win32::Win32TextFiles().ReplaceWholeFile(folder / "other.txt", "keep"));
    EXPECT_EQ(SaveTextFile(Wide(path), "\xFF\xFE"), std::nullopt);
    EXPECT_EQ(Bytes(path), "\xFF\xFE");
    EXPECT_EQ(Bytes(folder / "other.txt"), "keep");
    EXPECT_EQ(FilesIn(folder).size(), 2u);
}

// The file cannot be replaced (another program holds it open without letting
// it be deleted): the old content stays whole, the error names the file, and
// no temporary file is left. Creating the file in place would have emptied it.
TEST(SaveTextFileTest, FailedReplacementKeepsTheOldContent)
{
    ScratchFolder folder("kx-save");
    const std::string path = folder / "log.txt";
    ASSERT_TRUE(kx::win32::Win32TextFiles().ReplaceWholeFile(path, "old content"));
    HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::optional<std::u16string> error = SaveTextFile(Wide(path), std::string(100000, 'x'));
    ::CloseHandle(held);
    ASSERT_TRUE(error.has_value());
    const std::u16string expectedStart = u"Cannot create file \"" + std::u16string(path.begin(), path.end()) + u"\". ";
    EXPECT_EQ(error->substr(0, expectedStart.size()), expectedStart);
    EXPECT_EQ(error->back(), u'.');
    EXPECT_EQ(Bytes(path), "old content");
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"log.txt"});
}

TEST(SaveTextFileTest, MissingFolderAndReadOnlyFileAreReported)
{
    ScratchFolder folder("kx-save");
    const std::string missing = folder / "no such folder\\log.txt";
    const std::optional<std::u16string> error = SaveTextFile(Wide(missing), "\xFF\xFE");
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find(u"Cannot create file \""), std::u16string::npos);
    EXPECT_TRUE(FilesIn(folder).empty());

    const std::string locked = folder / "locked.txt";
    ASSERT_TRUE(kx::win32::Win32TextFiles().ReplaceWholeFile(locked, "mine"));
    ::SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(SaveTextFile(Wide(locked), "\xFF\xFE").has_value());
    EXPECT_EQ(Bytes(locked), "mine");
}

} // namespace
