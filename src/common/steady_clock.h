#pragma once
// Milliseconds of a clock that never goes back (its zero means nothing):
// for spacing things out and for deadlines.
#include <chrono>
#include <cstdint>

namespace kx {

inline std::int64_t SteadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace kx
