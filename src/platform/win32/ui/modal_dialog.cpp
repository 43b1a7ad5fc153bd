#include "platform/win32/ui/modal_dialog.h"

#include "platform/win32/win32_prompts.h"

#include <exception>

namespace kx::win32 {

ModalDialog::ModalDialog(HINSTANCE instance, int templateId) : instance_(instance), templateId_(templateId) {}

ModalDialog::~ModalDialog()
{
    if (dialog_)
        ::DestroyWindow(dialog_);
}

bool ModalDialog::Create(HWND owner)
{
    owner_ = owner;
    dialog_ = ::CreateDialogParamW(instance_, MAKEINTRESOURCEW(templateId_), owner, &ModalDialog::DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    return dialog_ != nullptr;
}

void ModalDialog::MoveTo(int left, int top)
{
    ::SetWindowPos(dialog_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ModalDialog::ShowModal()
{
    if (!dialog_ || open_)
        return IDCANCEL;
    open_ = true;
    result_ = IDCANCEL;
    OnShow();
    // An owner that was already disabled (a modal loop further out) stays so.
    ownerDisabled_ = owner_ && ::IsWindowEnabled(owner_);
    if (ownerDisabled_)
        ::EnableWindow(owner_, FALSE);
    ::ShowWindow(dialog_, SW_SHOW);
    ::SetForegroundWindow(dialog_);

    MSG msg;
    while (open_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // Keep the quit request for the outer loop.
            ::PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 0);
            Close(IDCANCEL);
            break;
        }
        if (::IsDialogMessageW(dialog_, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (ownerDisabled_) {
        ownerDisabled_ = false;
        ::EnableWindow(owner_, TRUE);
    }
    if (owner_ && ::IsWindow(owner_) && ::IsWindowEnabled(owner_))
        ::SetActiveWindow(owner_);
    return result_;
}

void ModalDialog::Close(int result)
{
    if (!open_)
        return;
    OnClosing();
    result_ = result;
    open_ = false;
    // The owner is enabled before the dialog hides, so that activation returns
    // to it; only when this dialog disabled it.
    if (ownerDisabled_) {
        ownerDisabled_ = false;
        ::EnableWindow(owner_, TRUE);
    }
    ::ShowWindow(dialog_, SW_HIDE);
    // Wakes the modal loop, which otherwise waits for (and swallows) the next message.
    ::PostMessageW(dialog_, WM_NULL, 0, 0);
}

bool ModalDialog::OnCommand(int id, int)
{
    if (id == IDOK || id == IDCANCEL) {
        Close(id);
        return true;
    }
    return false;
}

INT_PTR CALLBACK ModalDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<ModalDialog*>(lParam)->dialog_ = dialog;
    }
    auto* self = reinterpret_cast<ModalDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self)
        return FALSE;
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& e) {
        ShowApplicationError(dialog, e.what());
    } catch (...) {
        ShowApplicationError(dialog, "Unknown error");
    }
    return TRUE;
}

INT_PTR ModalDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInit();
        return TRUE;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_CLOSE:
        Close(IDCANCEL);
        return TRUE;
    case WM_DESTROY:
        // Its owner was closed from outside and took the dialog with it: the
        // modal loop ends as cancelled, and no control is read any more.
        dialog_ = nullptr;
        if (open_) {
            open_ = false;
            ownerDisabled_ = false;
            result_ = IDCANCEL;
        }
        return FALSE;
    default:
        return OnMessage(message, wParam, lParam) ? TRUE : FALSE;
    }
}

} // namespace kx::win32
