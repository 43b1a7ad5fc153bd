#pragma once
// A clock that never goes back, for rules that space things out in time.
#include <cstdint>

namespace kx {

class ClockPort {
public:
    virtual ~ClockPort() = default;
    virtual std::int64_t NowMs() = 0;
};

} // namespace kx
