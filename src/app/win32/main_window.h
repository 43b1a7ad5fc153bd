#pragma once
// The main window: the log view with its menus, in normal or subtitle mode.
// It turns messages into calls on its model and the capture service, and
// applies the model's state to its menus and frame.
#include "agth/agth_helper.h"
#include "app/main_window_model.h"
#include "app/win32/capture_service.h"
#include "app/win32/subtitle_frame.h"
#include "logview/win32/log_view_window.h"
#include "platform/win32/ui/modal_dialog.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_code_pages.h"
#include "capture/game_history.h"
#include "capture/win32/correction_dialog.h"
#include "platform/win32/win32_game_folders.h"
#include "translate/translation_memory.h"
#include "platform/win32/win32_prompts.h"
#include "platform/win32/win32_text_files.h"
#include "settings/advanced_settings.h"
#include "settings/app_settings.h"
#include "settings/game_profiles.h"
#include "settings/settings_file.h"
#include "capture/capture_pause.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace kx::win32 {

class TextFiltersDialog;
class ServerSettingsDialog;
class WebSocketSettingsDialog;
class CompanionDialog;
class ProfileNameDialog;

// The log view's font as the user chose it.
struct LogFont {
    LOGFONTW logFont{};
    Color colour = kClWindowText;
};

// A colour of the settings file as the screen shows it (system colours
// resolved; clNone and clDefault give `fallback`).
COLORREF ToColorRef(Color colour, COLORREF fallback);

class MainWindow : public CapturePauseHost, public AdvancedSettingsHost, public AgthHelperHost {
public:
    explicit MainWindow(HINSTANCE instance, AppSettings& settings);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window; its creation handler runs inside.
    HWND Create();
    void SetSecondaryWindows(ModalDialog* settings, ModalDialog* about, ModalDialog* agthHelper);
    // Shows the window and runs the first-show step.
    void Show(int showCommand);
    // Keyboard shortcuts of the main menu (not while the menu is detached).
    bool TranslateShortcut(MSG& msg);

    HWND Handle() const { return window_; }
    const std::string& ProgramTitle() const { return programTitle_; }
    bool SubtitleMode() const { return model_.SubtitleMode(); }
    // AgthHelperHost: the get-text method (the AGTH helper sets it too).
    int GetTextMethod() const override { return model_.GetTextMethod(); }
    void SetGetTextMethod(int method) override { model_.SetGetTextMethod(method); }
    // A game started from a shortcut (main_window_profiles.cpp).
    void GameStarting(const std::u16string& name) override;

    // CapturePauseHost
    void SetMonitoring(bool on) override { model_.SetMonitoring(on); }
    void StartTimer(unsigned milliseconds) override;
    void StopTimer() override;

    // AdvancedSettingsHost (main_window_settings.cpp)
    WindowAlpha MainWindowAlpha() const override;
    void SetMainWindowAlpha(WindowAlpha alpha) override;
    void ChangeLogBackground() override;
    void SubtitleLookChanged() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK LogViewProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR data);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleLogViewMessage(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
    void SubclassLogView();
    // After every message: the model's state on the menus, and the switches
    // for the texts read from now on.
    void ApplyModel();

    void FormCreate();
    void FormShow();
    void FormDestory();
    void SaveSettingsOnce();
    // Between the settings file and the window (main_window_settings.cpp).
    void LoadSettingsIntoWindow();
    void SaveSettingsFromWindow();
    void OnDpiChanged(int dpi, const RECT& suggested);

    void OnCommand(int id);
    // Global hotkeys (main_window_hotkeys.cpp).
    void RegisterHotkeys();
    void UnregisterHotkeys();
    void OnHotkey(int id);
    // A burst is shown in turns spaced out by the throttle.
    void OnTurnAsked();
    void RunPipelineTurn();

    // Command handlers
    void AttchprocesswithAGTH1Click();
    void Savetextas1Click();
    void ClipboardMonitoring1Click();
    void ranslation1Click();
    void Alwaysontop1Click();
    void Font1Click();
    void tClick();
    void About1Click();
    void TextFilters1Click();
    void GetTextMethod1Click(int method);
    // The translation engine (main_window_engine.cpp).
    void StartChosenEngine();
    // The engines' settings dialogs, and the Translation item greyed when an engine stops answering.
    void CreateServerDialog();
    bool IsEngineMenu(HMENU menu) const;
    void FillEngineMenu(HMENU menu);
    void OnEngineCommand(int id);
    void EngineMain1Click(EngineKind engine);
    void EngineDraft1Click(std::optional<EngineKind> engine);
    void EngineFallback1Click(std::optional<EngineKind> engine);
    void KeepDraft1Click();
    void EngineSettings1Click(EngineKind engine);
    void ServerSettings1Click();
    void ServiceSettings1Click(EngineKind service);
    // ezTrans started when a role uses it and it is not ready.
    void StartEzTransIfUsed();
    std::u16string MainEngineLine() const;
    void ShowTranslationPossible();
    // The text source (main_window_source.cpp).
    void CreateWebSocketDialog();
    void StartTextSource();
    void OnTextSourceCommand(int id);
    void ChooseTextSource(TextSource source, std::vector<std::string> urls);
    void SourceClipboard1Click();
    void SourceWebSocket1Click();
    void WebSocketSettings1Click();
    // The reading companion (main_window_companion.cpp).
    void CreateCompanionDialog();
    // At start-up and after each change of its settings; a failure is told in the log.
    void StartCompanion();
    void ReadingCompanion1Click();
    // Game profiles (main_window_profiles.cpp).
    void CreateProfiles();
    void LoadProfile();
    void SwitchProfile(const std::u16string& name, bool makeMissing);
    // The memory and history of the profile in force (or of no profile).
    void UseGameFiles();
    // The folder of the game in force in Explorer (made where it is missing).
    void OpenHistoryFolder1Click();
    // The user changed settings in force from `before`; `forProfile` as
    // GameProfiles::TakeChanges takes it.
    void TakeSettingsChanges(const AppSettings& before, std::initializer_list<std::string_view> forProfile = {});
    void ApplyInForce(const AppSettings& before);
    // A dialog's "OK" with both sets: each written where it belongs when it changed.
    void SaveScopedEdit(const std::function<void(AppSettings&)>& writeAllGames, bool allGamesChanged,
                        const std::function<void(AppSettings&)>& writeThisGame, bool thisGameChanged);
    AppSettings GlobalSettingsToSave() const;
    bool IsProfileMenu(HMENU menu) const;
    void FillProfileMenu(HMENU menu);
    void OnProfileCommand(int id);
    void NewProfile1Click();
    void Cleartext1Click();
    void TntMemo1DblClick();
    void TntMemo1MouseDown();
    void PopupMenu1Popup(POINT screen);
    void CorrectTranslation1Click();
    void TranslateAgain1Click();
    // The line asked again of the main engine, its answer in the line's place.
    void TranslateAgain(const CapturePipeline::LineInView& line);
    void HideUntilNextHotkeyPressed();
    // A captured line came into the view: a window hidden until then comes back.
    void CapturedLineShown();
    void ClickThrough1Click();
    void ShowHideHotkeyPressed();

    // The strip's picture from the log view's rows (subtitle mode only).
    void DrawStrip();
    // Mouse messages that reach the strip itself (its log view is not shown there).
    bool OnStripMouse(UINT message, WPARAM wParam, LPARAM lParam);
    void EnterSubtitleMode();
    void LeaveSubtitleMode();
    void SetTopMost(bool topMost);
    void ApplyLogFont(const LogFont& font);
    void SetLogBackground(Color colour);

    HINSTANCE instance_;
    AppSettings& settings_;
    MainWindowModel model_;
    std::uint64_t appliedRevision_ = 0;
    SubtitleFrame frame_;
    Win32Clock clock_;
    TurnThrottle throttle_{clock_};
    HWND window_ = nullptr;
    HWND logViewHandle_ = nullptr;
    UniqueMenu mainMenu_;
    UniqueMenu popupMenu_;
    HACCEL accelerators_ = nullptr;
    ModalDialog* settingForm_ = nullptr;
    ModalDialog* aboutForm_ = nullptr;
    ModalDialog* agthHelpForm_ = nullptr;
    std::unique_ptr<TextFiltersDialog> textFiltersDialog_;
    std::unique_ptr<ServerSettingsDialog> serverDialog_;
    std::unique_ptr<ServiceSettingsDialog> deepLDialog_;
    std::unique_ptr<ServiceSettingsDialog> papagoDialog_;
    std::unique_ptr<WebSocketSettingsDialog> webSocketDialog_;
    std::unique_ptr<CompanionDialog> companionDialog_;
    std::unique_ptr<ProfileNameDialog> profileNameDialog_;
    std::unique_ptr<CorrectionDialog> correctionDialog_;
    // The captured line under the mouse when the context menu opened.
    std::optional<CapturePipeline::LineInView> popupLine_;
    bool hiddenUntilNext_ = false;
    std::unique_ptr<Win32GameFolders> gameFolders_;
    std::unique_ptr<GameProfiles> profiles_;
    std::unique_ptr<TranslationMemory> memory_;  // the game's in force
    std::unique_ptr<GameHistory> history_;
    std::vector<std::u16string> profileMenuNames_;  // as the menu last listed them

    std::unique_ptr<LogViewWindow> logView_;
    Win32CodePages codePages_;
    Win32Prompts prompts_;
    std::unique_ptr<CaptureService> capture_;

    std::string programTitle_;
    std::vector<int> registeredHotkeys_;
    bool settingsSaved_ = false;
    bool destroyed_ = false;

    LogFont logFont_;
    UniqueFont logFontHandle_;
    Color logBackground_ = kClWindow;
    COLORREF logBackgroundRgb_ = 0;
    UniqueBrush logBackgroundBrush_;
    Color colorDialogColour_ = kClWindow;
    Win32TextFiles textFiles_;
    std::unique_ptr<SettingsFile> settingsFile_;
};

} // namespace kx::win32
