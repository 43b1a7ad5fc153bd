#pragma once
// How work done elsewhere gets back to the user-interface thread.
#include <functional>

namespace kx {

class UiThreadPort {
public:
    virtual ~UiThreadPort() = default;
    // Any thread: runs `work` on the UI thread soon, after the work posted
    // before it. Never blocks. Work still waiting when the program closes is
    // dropped, so it may refer to objects that live until then.
    virtual void Post(std::function<void()> work) = 0;
};

} // namespace kx
