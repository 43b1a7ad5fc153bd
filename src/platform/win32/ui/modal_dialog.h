#pragma once
// A secondary window that is created once, hidden, and opened modally over
// its owner as often as needed; closing hides it.
#include <windows.h>

namespace kx::win32 {

class ModalDialog {
public:
    ModalDialog(HINSTANCE instance, int templateId);
    virtual ~ModalDialog();
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    // Creates the hidden window (program start).
    bool Create(HWND owner);
    // Shows the window and runs its own message loop until it is closed.
    // Returns the id of the button that closed it.
    int ShowModal();
    // Hides the window and ends ShowModal.
    void Close(int result);

    HWND Handle() const { return dialog_; }
    bool IsOpen() const { return open_; }
    void MoveTo(int left, int top);

protected:
    virtual void OnInit() {}
    virtual void OnShow() {}
    virtual void OnClosing() {}
    // Returns true when the command was handled.
    virtual bool OnCommand(int id, int notification);
    // Any other message (e.g. WM_HSCROLL of a track bar); true when handled.
    virtual bool OnMessage(UINT, WPARAM, LPARAM) { return false; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    int templateId_;
    HWND owner_ = nullptr;
    HWND dialog_ = nullptr;
    bool open_ = false;
    bool ownerDisabled_ = false;   // ShowModal disabled the owner; Close enables it again
    int result_ = IDCANCEL;
};

} // namespace kx::win32
