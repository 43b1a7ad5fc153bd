#include "translate/win32/engine_fault_guard.h"

#include "translate/engine_worker.h"

namespace kx::win32 {
namespace {

LPTOP_LEVEL_EXCEPTION_FILTER g_previous = nullptr;

// The last filter before the program would end: no handler of the engine's
// own took the fault. Ending the thread leaves the engine's state as it is;
// it is never called again this run.
LONG WINAPI OnUnhandledFault(EXCEPTION_POINTERS* exception)
{
    if (EngineWorker::FailCallOnThisThread())
        ::ExitThread(exception->ExceptionRecord->ExceptionCode);
    return g_previous ? g_previous(exception) : EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

EngineFaultGuard::EngineFaultGuard()
{
    g_previous = ::SetUnhandledExceptionFilter(&OnUnhandledFault);
}

EngineFaultGuard::~EngineFaultGuard()
{
    ::SetUnhandledExceptionFilter(g_previous);
    g_previous = nullptr;
}

} // namespace kx::win32
