#pragma once
// Modal message boxes with the program's fixed captions.
#include <string>

namespace kx {

class PromptsPort {
public:
    virtual ~PromptsPort() = default;
    // Caption "Error", error icon, one button "OK".
    virtual void ShowError(const std::u16string& text) = 0;
    // The application error box: caption "KestruneEX!", stop icon, OK. The text
    // is shown as given (the caller applies the closing full-stop rule).
    virtual void ShowAppError(const std::u16string& text) = 0;
};

} // namespace kx
