#pragma once
// The main window's state as values, and its rules: which check marks the
// menus show, what each command does in which mode, and which switches a
// text read from the clipboard goes with. The Win32 window only applies
// this state to its menus and frame; it never reads state back from them.
#include "capture/text_decoding.h"
#include "capture/text_filters.h"
#include "platform/clock_port.h"
#include "settings/app_settings.h"
#include "translate/engine_list.h"
#include "translate/translation_switch.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace kx {

// The switches a text read now goes with; the reader thread takes a copy.
struct CaptureSwitches {
    bool monitoring = false;  // also false once closing has begun
    int method = Ascii;
    SinkOptions options;
    bool translate = false;
    EngineRoles engines;  // the main engine, and the draft and the fallback if any
    std::shared_ptr<const TextFilterSettings> filters;  // none before the settings are read
    TextSource source = TextSource::Clipboard;  // the other source's texts are not captured
};

// The format read decides the method: a Unicode read is Unicode text, and
// an 8-bit read under the Unicode method is taken as plain text.
int MethodForRead(int chosen, bool unicodeRead);

// What the log view's context menu shows.
struct ContextMenuState {
    const char16_t* subtitleItem;  // "&Enter subtitle mode" or "&Exit subtitle mode"
    bool clickThroughEnabled;
    bool clickThroughChecked;
};

class MainWindowModel {
public:
    explicit MainWindowModel(AppSettings& settings) : settings_(settings) {}

    // Counts every change of what the menus and the capture switches show,
    // so that the window applies them only when something changed.
    std::uint64_t Revision() const { return revision_; }

    bool Monitoring() const { return monitoring_; }
    void SetMonitoring(bool on);
    void ToggleMonitoring() { SetMonitoring(!monitoring_); }

    int GetTextMethod() const { return method_; }
    // Methods outside Ascii..UnicodeText are ignored (false).
    bool SetGetTextMethod(int method);

    const TranslationSwitch& Translation() const { return translation_; }
    void SetTranslationChecked(bool checked);
    // F6, the menu item and the hotkey: nothing while the engine cannot translate.
    void ToggleTranslation();
    // Whether the chosen engine can translate (ezTrans started, or a server set up).
    void SetTranslationPossible(bool possible);
    bool TranslationPossible() const { return translation_.enabled; }
    // The main engine; a draft or fallback that was this engine is none from now on.
    void SetEngine(EngineKind engine);
    // None, or any engine but the main one (false, and nothing changed, for the main one).
    bool SetDraftEngine(std::optional<EngineKind> engine);
    bool SetFallbackEngine(std::optional<EngineKind> engine);
    void SetKeepDraft(bool keep);
    TextSource Source() const { return settings_.Source; }
    void SetTextSource(TextSource source);

    bool AlwaysOnTopChecked() const { return alwaysOnTop_; }
    void SetAlwaysOnTopChecked(bool checked);

    bool SubtitleMode() const { return subtitle_; }
    // Into the strip: top-most, replace mode, click-through as last left.
    void EnterSubtitleMode();
    // Back to the normal window: not top-most, appending, taking clicks.
    void LeaveSubtitleMode();
    bool ClickThrough() const { return clickThrough_; }
    // Only the strip lets clicks through; the choice is remembered for next time.
    bool ToggleClickThrough();

    // The main menu and its shortcut keys exist only in the normal window.
    bool ShortcutsActive() const { return !subtitle_; }
    ContextMenuState ContextMenu() const;

    // The filters texts read from now on share (made at load and on the dialog's OK).
    void PublishFilters();
    // No text is read once closing has begun.
    void BeginClosing();
    CaptureSwitches Switches() const;

private:
    void Changed() { ++revision_; }
    // A draft or fallback: none, or any engine but the main one.
    bool SetOtherEngine(std::optional<EngineKind>& role, std::optional<EngineKind> engine);

    AppSettings& settings_;
    std::uint64_t revision_ = 1;
    bool monitoring_ = true;
    int method_ = Ascii;
    TranslationSwitch translation_{true, false};
    bool alwaysOnTop_ = false;
    bool subtitle_ = false;
    bool clickThrough_ = false;
    bool closing_ = false;
    std::shared_ptr<const TextFilterSettings> filters_;
};

// Spaces the UI thread's turns during a burst at least `minGapMs` apart,
// while a text after a quiet moment is shown at once. Only a turn that
// changed the view starts the gap: a turn that only handed a text to an
// engine lets the turn that shows its answer follow at once.
class TurnThrottle {
public:
    explicit TurnThrottle(ClockPort& clock, std::int64_t minGapMs = 25) : clock_(clock), minGapMs_(minGapMs) {}

    // A turn was asked for: run it now (nullopt), or arm a timer for the
    // milliseconds returned. While a timer is armed, further asks wait for it (0).
    std::optional<unsigned> OnTurnAsked();
    // The turn runs now (at once or from the timer).
    void OnTurnRun();
    // The turn has run; `viewChanged` when it wrote into the view. The gap
    // counts from the start of a turn that did.
    void OnTurnEnd(bool viewChanged);
    // The timer could not be armed: the next ask runs at once.
    void TimerFailed() { timerArmed_ = false; }
    bool TimerArmed() const { return timerArmed_; }

private:
    ClockPort& clock_;
    std::int64_t minGapMs_;
    std::optional<std::int64_t> lastTurnMs_;
    std::int64_t turnStartMs_ = 0;
    bool timerArmed_ = false;
};

} // namespace kx
