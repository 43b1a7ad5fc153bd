#pragma once
// The Translation switch of the main menu.

namespace kx {

// Translation is on only while its menu item is both checked and enabled; the
// item is disabled for the whole run when the engine failed to start.
struct TranslationSwitch {
    bool checked = true;
    bool enabled = true;

    bool Active() const { return checked && enabled; }
    // A disabled item reacts to neither click nor key.
    void Toggle()
    {
        if (enabled)
            checked = !checked;
    }
};

} // namespace kx
