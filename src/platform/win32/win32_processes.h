#pragma once
// The process snapshot and program launch ports on the real Win32 calls.
#include "platform/process_port.h"

#include <windows.h>

namespace kx::win32 {

// CreateToolhelp32Snapshot, then Process32First / Process32Next (8-bit names).
class Win32ProcessSnapshot : public ProcessSnapshotPort {
public:
    std::vector<ProcessEntry> Processes() override;
};

// ShellExecuteW with the verb "open" and SW_SHOWNORMAL, owned by a window.
class Win32ProgramLauncher : public ProgramLaunchPort {
public:
    explicit Win32ProgramLauncher(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    void Launch(const LaunchRequest& request) override;

private:
    HWND owner_;
};

} // namespace kx::win32
