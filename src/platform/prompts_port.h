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
    // Caption "KestruneEX!", exclamation icon, OK: a value the user must change.
    virtual void ShowWarning(const std::u16string& text) { ShowAppError(text); }
    // Caption "Confirm", question icon, Yes/No/Cancel: true only for Yes. A
    // port that cannot ask answers no, so nothing is overwritten or removed unasked.
    virtual bool Confirm(const std::u16string&) { return false; }
};

} // namespace kx
