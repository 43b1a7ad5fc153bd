#pragma once
// A fault inside an engine (an access violation in its DLL) ends only the
// engine call it happened in: the call's thread ends and the engine counts as
// stopped for the run, instead of the whole program going down with it.
#include <windows.h>

namespace kx::win32 {

// While one lives, a fault that nothing else handles ends its thread when it
// happens on an engine call thread; elsewhere it goes on as before.
class EngineFaultGuard {
public:
    EngineFaultGuard();
    ~EngineFaultGuard();
    EngineFaultGuard(const EngineFaultGuard&) = delete;
    EngineFaultGuard& operator=(const EngineFaultGuard&) = delete;
};

} // namespace kx::win32
