#pragma once
// The running processes and program launch, as the AGTH helper needs them.
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

// One process as the snapshot reports it: its identifier and its executable's
// file name (8-bit text in the system code page).
struct ProcessEntry {
    std::uint32_t id = 0;
    std::string exeName;

    bool operator==(const ProcessEntry&) const = default;
};

class ProcessSnapshotPort {
public:
    virtual ~ProcessSnapshotPort() = default;
    // Every process in the platform's order; empty when no snapshot can be
    // taken.
    virtual std::vector<ProcessEntry> Processes() = 0;
};

// A program started with the verb "open", shown normally, not waited for.
struct LaunchRequest {
    std::u16string program;
    std::u16string parameters;
    std::u16string directory;   // empty: the launcher's own

    bool operator==(const LaunchRequest&) const = default;
};

class ProgramLaunchPort {
public:
    virtual ~ProgramLaunchPort() = default;
    // The result is not reported: the caller goes on either way.
    virtual void Launch(const LaunchRequest& request) = 0;
};

} // namespace kx
