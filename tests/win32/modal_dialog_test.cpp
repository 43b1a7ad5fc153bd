#include "platform/win32/ui/modal_dialog.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

constexpr int kPlainDialog = 100;   // tests/win32/test_dialogs.rc

// Closes itself as soon as its modal loop runs, noting whether the owner was
// disabled while it was open.
class SelfClosingDialog : public kx::win32::ModalDialog {
public:
    explicit SelfClosingDialog(HWND owner) : ModalDialog(::GetModuleHandleW(nullptr), kPlainDialog), owner_(owner) {}
    bool ownerEnabledWhileOpen = true;

protected:
    void OnShow() override { ::PostMessageW(Handle(), WM_COMMAND, IDOK, 0); }
    void OnClosing() override { ownerEnabledWhileOpen = ::IsWindowEnabled(owner_) != FALSE; }

private:
    HWND owner_;
};

struct OwnerWindow {
    HWND handle = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    ~OwnerWindow() { ::DestroyWindow(handle); }
};

TEST(ModalDialogOwner, EnabledOwnerIsDisabledWhileOpenAndEnabledAfter)
{
    OwnerWindow owner;
    ASSERT_NE(owner.handle, nullptr);
    SelfClosingDialog dialog(owner.handle);
    ASSERT_TRUE(dialog.Create(owner.handle));
    EXPECT_EQ(dialog.ShowModal(), IDOK);
    EXPECT_FALSE(dialog.ownerEnabledWhileOpen);
    EXPECT_TRUE(::IsWindowEnabled(owner.handle));
}

// A dialog opened from inside another modal loop finds its owner disabled and
// leaves it so: the outer loop still owns the owner's state.
TEST(ModalDialogOwner, OwnerDisabledBeforeOpeningStaysDisabled)
{
    OwnerWindow owner;
    ASSERT_NE(owner.handle, nullptr);
    ::EnableWindow(owner.handle, FALSE);
    SelfClosingDialog dialog(owner.handle);
    ASSERT_TRUE(dialog.Create(owner.handle));
    for (int opening = 0; opening < 2; ++opening) {
        EXPECT_EQ(dialog.ShowModal(), IDOK);
        EXPECT_FALSE(::IsWindowEnabled(owner.handle)) << "opening " << opening;
    }
    // Enabled again from outside, the next opening restores it as found.
    ::EnableWindow(owner.handle, TRUE);
    EXPECT_EQ(dialog.ShowModal(), IDOK);
    EXPECT_TRUE(::IsWindowEnabled(owner.handle));
}

} // namespace
