#pragma once
// The main window's side of KestruneEX.ini, a plain record: the window fills
// it from its controls before the save, and applies what the load returns.
#include "settings/value_encodings.h"

#include <cstdint>
#include <optional>

namespace kx {

struct MainWindowState {
    // Bounds in screen pixels; outer height and width. Applied as they are.
    std::int32_t top = 100;
    std::int32_t left = 100;
    std::int32_t height = 200;
    std::int32_t width = 640;

    // Layered-window alpha, 255 = opaque. Load: the stored value's low 8 bits.
    std::uint8_t alpha = 255;
    // Load: switch alpha blending on when true (alpha != 0), off when false.
    // Save: not stored.
    bool alphaBlending = true;

    // Check marks of the menu items "Translation" and "Always on top".
    bool translationChecked = true;
    bool alwaysOnTopChecked = false;
    // Load: make the main window a stay-on-top window when true (it is
    // whenever "Always on top" is checked). Save: not stored.
    bool stayOnTop = false;

    // Colour of the main window's colour dialog; stored as TBgColor.
    Color colorDialogColor = kClWindow;
    // Load: a colour to give the log view as its background; nullopt: leave
    // the log view's colour as it is. Save: not used.
    std::optional<Color> logViewBackground;

    // Save: the log view's present font; stored as TMainFont. Load: not used.
    FontDescription logViewFont{"Tahoma", kClWindowText, 8, FontPitch::Default};
    // Load: a font to give the log view and the font dialog (the default
    // character set); nullopt: both keep their fonts. Save: not used.
    std::optional<FontDescription> fontToApply;

    bool operator==(const MainWindowState&) const = default;
};

} // namespace kx
