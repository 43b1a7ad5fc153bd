#pragma once
// A property that must hold for every input: a failure aborts, which
// libFuzzer reports as a crash with the input that broke it.
#include <cstdlib>

namespace kx::fuzz {

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace kx::fuzz
