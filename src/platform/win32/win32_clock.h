#pragma once
#include "platform/clock_port.h"

#include <windows.h>

namespace kx::win32 {

class Win32Clock : public ClockPort {
public:
    std::int64_t NowMs() override { return static_cast<std::int64_t>(::GetTickCount64()); }
};

} // namespace kx::win32
