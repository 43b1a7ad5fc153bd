#pragma once
// The main window: the log view with its menus, the clipboard watcher, the
// engine and the capture pipeline; normal and subtitle mode.
#include "agth/agth_helper.h"
#include "app/win32/modal_dialog.h"
#include "capture/capture_pipeline.h"
#include "capture/win32/clipboard_reader_thread.h"
#include "capture/text_decoding.h"
#include "platform/win32/edit_log_view.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_code_pages.h"
#include "platform/win32/win32_prompts.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_ui_thread.h"
#include "settings/advanced_settings.h"
#include "settings/app_settings.h"
#include "settings/settings_file.h"
#include "platform/win32/win32_text_files.h"
#include "capture/capture_pause.h"
#include "translate/translation_switch.h"
#include "translate/server_translator.h"
#include "translate/translation_engine.h"
#include "platform/win32/win32_http.h"
#include "platform/win32/win32_secrets.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kx::win32 {

class TextFiltersDialog;
class ServerSettingsDialog;
struct ServerDialogValues;

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
    bool SubtitleMode() const { return subtitleMode_; }
    // AgthHelperHost: the get-text method and its radio mark (the AGTH helper
    // sets it too).
    int GetTextMethod() const override { return getTextMethod_; }
    void SetGetTextMethod(int method) override;

    // CapturePauseHost
    void SetMonitoring(bool on) override;
    void StartTimer(unsigned milliseconds) override;
    void StopTimer() override;

    // AdvancedSettingsHost (main_window_settings.cpp)
    WindowAlpha MainWindowAlpha() const override;
    void SetMainWindowAlpha(WindowAlpha alpha) override;
    void ChangeLogBackground() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK LogViewProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR data);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleLogViewMessage(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

    void FormCreate();
    void FormShow();
    void FormDestory();
    void SaveSettingsOnce();
    // Between the settings file and the window (main_window_settings.cpp).
    void LoadSettingsIntoWindow();
    void SaveSettingsFromWindow();

    void OnCommand(int id);
    // Global hotkeys (main_window_hotkeys.cpp).
    void RegisterHotkeys();
    void UnregisterHotkeys();
    void OnHotkey(int id);
    void OnClipboardText(const ClipboardText& text);  // on the reader thread
    LRESULT OnNcHitTest(WPARAM wParam, LPARAM lParam);
    void OnWindowPosChanging(WINDOWPOS& pos);
    void LayoutLogView();

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
    // The translation engine (main_window_engine.cpp).
    void StartChosenEngine();
    void EngineEzTrans1Click();
    void EngineServer1Click();
    void ServerSettings1Click();
    void ShowEngineChoice();
    void LoadServerKey();
    void TestServer(const ServerDialogValues& values, std::function<void(std::u16string)> done);
    bool TranslationPossible() const;
    void Cleartext1Click();
    void TntMemo1DblClick();
    void TntMemo1MouseDown();
    void PopupMenu1Popup(POINT screen);
    void ClickThrough1Click();
    void ShowHideHotkeyPressed();

    void EnterSubtitleMode();
    void LeaveSubtitleMode();
    void SetTopMost(bool topMost);
    bool IsTopMost() const;
    void SetMenuCheck(int id, bool checked);
    bool MenuCheck(int id) const;
    void ApplyLogFont(const LogFont& font);
    void SetLogBackground(Color colour);
    void SetAlpha(BYTE alpha, bool blending);
    // WS_EX_TRANSPARENT (with WS_EX_LAYERED, keeping the alpha): every click
    // goes to the window below.
    void ApplyClickThrough(bool on);

    HINSTANCE instance_;
    AppSettings& settings_;
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

    std::unique_ptr<EditLogView> logView_;
    Win32CodePages codePages_;
    Win32Registry registry_;
    Win32FileSystem files_;
    Win32Libraries libraries_;
    Win32Prompts prompts_;
    std::unique_ptr<ClipboardReaderThread> reader_;
    // The switches a text read now goes with, as the UI thread last left
    // them; the reader thread takes a copy at each change.
    struct CaptureSwitches {
        bool monitoring = false;  // also false once closing has begun
        int method = Ascii;
        SinkOptions options;
        bool translate = false;
        EngineKind engine = EngineKind::EzTrans;
        std::shared_ptr<const TextFilterSettings> filters;
    };
    CaptureSwitches CurrentSwitches();
    void PublishTextFilters();
    std::shared_ptr<const TextFilterSettings> publishedFilters_;  // UI thread; none before the load
    void PublishCaptureSwitches();
    void OnDpiChanged(int dpi, const RECT& suggested);
    int dpi_ = 96;  // of the monitor the window is on
    void OnPipelineWake();
    void RunPipelineTurn();
    ULONGLONG lastTurnTick_ = 0;
    bool turnTimerSet_ = false;
    std::mutex switchesMutex_;
    CaptureSwitches switches_;
    std::unique_ptr<TranslationEngine> engine_;
    Win32Http http_;
    Win32Secrets secrets_;
    std::unique_ptr<ServerTranslator> server_;
    std::string serverApiKey_;  // in clear, for this run only
    std::unique_ptr<Win32UiThread> uiThread_;
    std::unique_ptr<CapturePipeline> pipeline_;
    AnsiLeadBytes ansiLeadBytes_;

    std::string programTitle_;
    int getTextMethod_ = Ascii;
    TranslationSwitch translation_;
    bool subtitleMode_ = false;
    bool clickThrough_ = false;  // now, in subtitle mode only
    std::vector<int> registeredHotkeys_;
    bool settingsSaved_ = false;
    bool destroyed_ = false;
    bool closing_ = false;  // no more clipboard reads

    LogFont logFont_;
    UniqueFont logFontHandle_;
    Color logBackground_ = kClWindow;
    COLORREF logBackgroundRgb_ = 0;
    UniqueBrush logBackgroundBrush_;
    Color colorDialogColour_ = kClWindow;
    Win32TextFiles textFiles_;
    std::unique_ptr<SettingsFile> settingsFile_;
    COLORREF windowBackground_ = 0;
    UniqueBrush windowBackgroundBrush_;
    BYTE alpha_ = 255;
    bool alphaBlending_ = false;
};

} // namespace kx::win32
