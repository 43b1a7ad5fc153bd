// The POSIX whole-file adapter on a real temporary folder.
#include "platform/posix/posix_text_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace kx;
namespace fs = std::filesystem;

namespace {

class SettingsPosixFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() /
                  ("kx-settings-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder_, ignored);
    }
    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }
    static void Put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

    fs::path folder_;
    PosixTextFiles files_;
};

TEST_F(SettingsPosixFilesTest, ReadsWholeFilesAndTellsMissingFromFailed)
{
    const std::string bytes = std::string("[A]\r\nx=\0\xff", 10) + std::string(200000, 'z');
    Put(PathOf("a.ini"), bytes);
    const FileReadResult read = files_.ReadWholeFile(PathOf("a.ini"));
    EXPECT_EQ(read.status, FileReadStatus::Read);
    EXPECT_EQ(read.bytes, bytes);
    EXPECT_EQ(files_.ReadWholeFile(PathOf("none.ini")).status, FileReadStatus::Missing);
    EXPECT_EQ(files_.ReadWholeFile(PathOf("no-folder/none.ini")).status, FileReadStatus::Missing);
    EXPECT_EQ(files_.ReadWholeFile(folder_.string()).status, FileReadStatus::Failed);   // a folder
}

TEST_F(SettingsPosixFilesTest, ReplacesInOneStepAndLeavesNoTemporaryFile)
{
    const std::string path = PathOf("KestruneEX.ini");
    ASSERT_TRUE(files_.ReplaceWholeFile(path, "first"));
    ASSERT_TRUE(files_.ReplaceWholeFile(path, "second, longer"));
    EXPECT_EQ(files_.ReadWholeFile(path).bytes, "second, longer");
    EXPECT_FALSE(fs::exists(ReplacementFilePath(path)));
    // A stale temporary file from an earlier crash is simply overwritten.
    Put(ReplacementFilePath(path), "stale stale stale stale");
    ASSERT_TRUE(files_.ReplaceWholeFile(path, "third"));
    EXPECT_EQ(files_.ReadWholeFile(path).bytes, "third");
}

TEST_F(SettingsPosixFilesTest, ReadOnlyFileOrUnusableTemporaryNameKeepsTheOldFile)
{
    const std::string path = PathOf("KestruneEX.ini");
    Put(path, "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(files_.ReplaceWholeFile(path, "new"));
    EXPECT_EQ(files_.ReadWholeFile(path).bytes, "old");
    EXPECT_FALSE(fs::exists(ReplacementFilePath(path)));

    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    fs::create_directory(ReplacementFilePath(path));   // the temporary name is taken by a folder
    EXPECT_FALSE(files_.ReplaceWholeFile(path, "new"));
    EXPECT_EQ(files_.ReadWholeFile(path).bytes, "old");
    EXPECT_TRUE(fs::is_directory(ReplacementFilePath(path)));

    EXPECT_FALSE(files_.ReplaceWholeFile(PathOf("no-folder/KestruneEX.ini"), "new"));
}

} // namespace
