// The "Correct translation" dialog: Unicode text in and out.
#include "capture/win32/capture_resource_ids.h"
#include "capture/win32/correction_dialog.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Types a translation as a user would and presses OK once the dialog shows,
// noting what its source box held.
class TypingDialog : public kx::win32::CorrectionDialog {
public:
    TypingDialog() : CorrectionDialog(::GetModuleHandleW(nullptr)) {}
    std::wstring typed;
    std::wstring sourceShown;

protected:
    void OnShow() override
    {
        CorrectionDialog::OnShow();
        wchar_t source[64] = {};
        ::GetDlgItemTextW(Handle(), IDC_CORRECTION_SOURCE, source, 64);
        sourceShown = source;
        ::SetDlgItemTextW(Handle(), IDC_CORRECTION_TRANSLATION, typed.c_str());
        ::PostMessageW(Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
};

} // namespace

TEST(CorrectionDialog, TheSourceShownAndTheTranslationTypedComeThroughWhole)
{
    TypingDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    dialog.typed = L"  \uBC14\uB85C\uC7A1\uC740 \uC904\r\n\u2665\U0001F600  ";
    const std::optional<std::u16string> corrected = dialog.Ask(u"間違った行😀", u"KO:間違った行");
    EXPECT_EQ(dialog.sourceShown, L"\u9593\u9055\u3063\u305F\u884C\U0001F600");
    // One line of the log, without the blanks around it.
    EXPECT_EQ(corrected, std::u16string(u"바로잡은 줄  ♥😀"));
}
