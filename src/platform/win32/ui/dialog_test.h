#pragma once
// The "Test" button of a settings dialog and the box that shows what a test
// found. The test runs elsewhere; its result comes back through the UI
// thread's queue and is shown only while the dialog lives, is open, and only
// for the latest test of this opening. The button is greyed meanwhile.
#include "platform/ui_thread_port.h"
#include "platform/win32/ui/modal_dialog.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kx::win32 {

class DialogTest {
public:
    DialogTest(ModalDialog& dialog, UiThreadPort& ui, int buttonId, int resultId)
        : dialog_(dialog), ui_(ui), buttonId_(buttonId), resultId_(resultId)
    {
    }
    // On each opening: an empty box, the button ready, the results of
    // earlier openings' tests dropped.
    void Reset();
    // `text` in the box, no test begun.
    void Say(const wchar_t* text);
    // A test begins: `meanwhile` in the box and the button greyed. The
    // function returned shows its result, from any thread, once.
    std::function<void(std::wstring shown)> Begin(const wchar_t* meanwhile);

private:
    void Show(std::uint64_t test, const std::wstring& shown);

    ModalDialog& dialog_;
    UiThreadPort& ui_;
    int buttonId_;
    int resultId_;
    // Gone with the dialog, so that a late result finds nothing to fill.
    std::shared_ptr<char> lifetime_ = std::make_shared<char>();
    std::uint64_t latest_ = 0;
};

} // namespace kx::win32
