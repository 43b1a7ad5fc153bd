#pragma once
// What the engines' settings dialogs share: "All games" / "This game" over
// two sets of values with one API key for both, "Test" with what the boxes
// hold now, and "OK" that hands both sets back only when the boxes read.
// A dialog of its own reads and writes its boxes.
#include "common/windows_wide.h"
#include "platform/ui_thread_port.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"
#include "platform/win32/ui/dialog_test.h"
#include "platform/win32/ui/modal_dialog.h"
#include "platform/win32/ui/profile_scope.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace kx::win32 {

// The ids of the controls every such dialog has.
struct KeyedDialogControls {
    int allGames;
    int thisGame;
    int test;
    int testResult;
    int first;  // focused when the dialog opens
};

// `Values` has a std::string apiKey: every game's.
template <class Values>
class KeyedSettingsDialog : public ModalDialog {
public:
    // Runs a test translation elsewhere (the engine's thread) and calls
    // `done` with the text to show, from any thread, once.
    using TestRunner = std::function<void(const Values& values, std::function<void(std::u16string shown)> done)>;

    KeyedSettingsDialog(HINSTANCE instance, int templateId, UiThreadPort& ui, KeyedDialogControls controls)
        : ModalDialog(instance, templateId), controls_(controls),
          test_(*this, ui, controls.test, controls.testResult)
    {
    }
    void SetTestRunner(TestRunner runner) { testRunner_ = std::move(runner); }

    // Opens modally over the owner given to Create on the values `scope`
    // chooses. Both sets as edited when "OK" closed it, nullopt for
    // "Cancel"/Esc/close box.
    std::optional<ScopedValues<Values>> Edit(const ScopedValues<Values>& current, const ProfileScope& scope)
    {
        if (IsOpen())
            return std::nullopt;
        values_ = current;
        showingGame_ = scope.forGame && !scope.game.empty();
        accepted_ = false;
        test_.Reset();
        ShowProfileScope(Handle(), controls_.allGames, controls_.thisGame, {scope.game, showingGame_});
        WriteBoxes(Shown());
        if (ShowModal() != IDOK || !accepted_)
            return std::nullopt;
        return values_;
    }

protected:
    // The boxes checked, starting from the set shown (what the boxes do not
    // hold stays); nullopt after a box said what is wrong.
    virtual std::optional<Values> ReadBoxes() = 0;
    virtual void WriteBoxes(const Values& values) = 0;
    const Values& Shown() const { return showingGame_ ? values_.thisGame : values_.allGames; }

    void OnShow() override
    {
        CentreOverOwner(Handle());
        FocusControl(Handle(), controls_.first);
    }
    bool OnCommand(int id, int notification) override
    {
        if (id == controls_.allGames || id == controls_.thisGame) {
            if (notification == BN_CLICKED)
                ScopeClick(id == controls_.thisGame);
            return true;
        }
        if (id == IDOK || id == controls_.test) {
            if (notification == BN_CLICKED)
                id == IDOK ? OkClick() : TestClick();
            return true;
        }
        return ModalDialog::OnCommand(id, notification);
    }

private:
    Values& ShownSet() { return showingGame_ ? values_.thisGame : values_.allGames; }

    // The boxes into the set shown; false (a box said why) when one is wrong.
    bool KeepBoxes()
    {
        std::optional<Values> read = ReadBoxes();
        if (!read)
            return false;
        ShownSet() = std::move(*read);
        values_.allGames.apiKey = values_.thisGame.apiKey = Shown().apiKey;
        return true;
    }
    // What was edited in one set is kept while the other is shown; boxes
    // that are wrong keep the set they belong to on the screen.
    void ScopeClick(bool forGame)
    {
        if (forGame == showingGame_)
            return;
        if (KeepBoxes()) {
            showingGame_ = forGame;
            WriteBoxes(Shown());
        }
        SetChecked(::GetDlgItem(Handle(), controls_.allGames), !showingGame_);
        SetChecked(::GetDlgItem(Handle(), controls_.thisGame), showingGame_);
    }
    void OkClick()
    {
        accepted_ = KeepBoxes();
        if (accepted_)
            Close(IDOK);
    }
    void TestClick()
    {
        const std::optional<Values> values = ReadBoxes();
        if (!values)
            return;
        if (!testRunner_) {
            test_.Say(L"No test is possible here.");
            return;
        }
        testRunner_(*values, [show = test_.Begin(L"Testing...")](std::u16string shown) { show(Wide(shown)); });
    }

    KeyedDialogControls controls_;
    TestRunner testRunner_;
    ScopedValues<Values> values_;
    bool showingGame_ = false;
    bool accepted_ = false;
    DialogTest test_;
};

} // namespace kx::win32
