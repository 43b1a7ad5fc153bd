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

// Its owner closed from outside while it is open (another program ends the
// main window): the loop ends as cancelled and nothing reads its controls.
class OwnerClosedDialog : public kx::win32::ModalDialog {
public:
    explicit OwnerClosedDialog(HWND owner) : ModalDialog(::GetModuleHandleW(nullptr), kPlainDialog), owner_(owner) {}
    bool closingRan = false;

protected:
    void OnShow() override { ::PostMessageW(owner_, WM_CLOSE, 0, 0); }
    void OnClosing() override { closingRan = true; }

private:
    HWND owner_;
};

TEST(ModalDialogOwner, OwnerDestroyedFromOutsideEndsTheLoopAsCancelled)
{
    OwnerWindow owner;
    ASSERT_NE(owner.handle, nullptr);
    OwnerClosedDialog dialog(owner.handle);
    ASSERT_TRUE(dialog.Create(owner.handle));
    EXPECT_EQ(dialog.ShowModal(), IDCANCEL);
    EXPECT_FALSE(::IsWindow(owner.handle));
    EXPECT_FALSE(dialog.closingRan);
    EXPECT_EQ(dialog.Handle(), nullptr);
}

} // namespace
