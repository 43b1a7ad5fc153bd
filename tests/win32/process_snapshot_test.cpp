// The process snapshot adapter on the real toolhelp calls: the running test
// itself is reported by its 8-bit executable name, and the helper's rows put
// it where the snapshot order says.
#include "agth/agth_rules.h"
#include "platform/win32/win32_processes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(ProcessSnapshotWin32, ReportsThisProcessByItsFileName)
{
    kx::win32::Win32ProcessSnapshot snapshot;
    const std::vector<kx::ProcessEntry> processes = snapshot.Processes();
    ASSERT_FALSE(processes.empty());
    const DWORD self = ::GetCurrentProcessId();
    const auto found = std::find_if(processes.begin(), processes.end(),
                                    [&](const kx::ProcessEntry& p) { return p.id == self; });
    ASSERT_NE(found, processes.end());
    EXPECT_EQ(found->exeName, "kx_win32_tests.exe");   // no folder part

    // Every reported process has a row, in reverse order, unless filtered.
    const std::vector<kx::ProcessRow> rows = kx::ProcessListRows(processes);
    const auto row = std::find(rows.begin(), rows.end(), kx::ProcessRow{std::to_string(self), "kx_win32_tests.exe"});
    ASSERT_NE(row, rows.end());
    EXPECT_EQ(rows.back().processId, std::to_string(processes.front().id));
}

} // namespace
