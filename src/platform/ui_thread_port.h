#pragma once
// How work done elsewhere gets back to the user-interface thread.

namespace kx {

class UiThreadPort {
public:
    virtual ~UiThreadPort() = default;
    // Asks the UI thread, from any thread, to give its owner a turn soon
    // (the Win32 adapter posts a message). Never blocks.
    virtual void Wake() = 0;
};

} // namespace kx
