#include "app/win32/main_window.h"

#include "app/program_title.h"
#include "app/win32/resource_ids.h"
#include "capture/append_log.h"
#include "capture/win32/text_filters_dialog.h"
#include "capture/win32/websocket_settings_dialog.h"
#include "companion/win32/companion_dialog.h"
#include "common/app_error.h"
#include "common/text.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"
#include "platform/win32/win32_version.h"
#include "translate/win32/server_settings_dialog.h"
#include "settings/win32/profile_name_dialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <exception>

namespace kx::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"KestruneEXMainWindow";
constexpr UINT_PTR kTransTimerId = 1;
constexpr UINT_PTR kPipelineTimerId = 2;
constexpr UINT_PTR kKeepOnTopTimerId = 3;
constexpr UINT kKeepOnTopMs = 250;
constexpr UINT kFirstShowMessage = WM_APP + 1;
constexpr UINT kUiWorkMessage = WM_APP + 2;
constexpr int kDesignClientWidth = 623;
constexpr int kDesignClientHeight = 252;

constexpr char kStartupCredits[] = " Created by Kestrune (kestrune@users.noreply.github.com)";
constexpr char kStartupSite[] = "Official site : https://github.com/kestrune/KestruneEX";

// Tahoma 8 points.
LogFont DesignFont(int dpi)
{
    LogFont font;
    font.logFont.lfHeight = Scaled(-11, dpi);
    font.logFont.lfWeight = FW_NORMAL;
    font.logFont.lfCharSet = DEFAULT_CHARSET;
    font.logFont.lfPitchAndFamily = DEFAULT_PITCH;
    lstrcpynW(font.logFont.lfFaceName, L"Tahoma", LF_FACESIZE);
    font.colour = kClWindowText;
    return font;
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance, AppSettings& settings)
    : instance_(instance), settings_(settings), model_(settings)
{
}

MainWindow::~MainWindow() = default;

HWND MainWindow::Create()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &MainWindow::WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(IDI_MAIN));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kWindowClass;
    ::RegisterClassExW(&wc);

    // Before the window exists, the system's dpi is the best guess of its monitor's.
    const int systemDpi = WindowDpi(nullptr);
    RECT outer{0, 0, Scaled(kDesignClientWidth, systemDpi), Scaled(kDesignClientHeight, systemDpi)};
    ::AdjustWindowRectEx(&outer, SubtitleFrame::kNormalStyle, TRUE, WS_EX_COMPOSITED);
    mainMenu_.Reset(::LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_MAINMENU)));
    popupMenu_.Reset(::LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_POPUPMENU)));
    accelerators_ = ::LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    // The window paints double-buffered.
    window_ = ::CreateWindowExW(WS_EX_COMPOSITED, kWindowClass, L"", SubtitleFrame::kNormalStyle, 100, 100,
                                outer.right - outer.left, outer.bottom - outer.top, nullptr, mainMenu_.Get(),
                                instance_, this);
    return window_;
}

void MainWindow::SetSecondaryWindows(ModalDialog* settings, ModalDialog* about, ModalDialog* agthHelper)
{
    settingForm_ = settings;
    aboutForm_ = about;
    agthHelpForm_ = agthHelper;
}

void MainWindow::Show(int showCommand)
{
    ::ShowWindow(window_, showCommand);
    ::UpdateWindow(window_);
    ::PostMessageW(window_, kFirstShowMessage, 0, 0);
}

bool MainWindow::TranslateShortcut(MSG& msg)
{
    if (!window_ || !model_.ShortcutsActive() || !accelerators_)
        return false;
    if (msg.hwnd != window_ && !::IsChild(window_, msg.hwnd))
        return false;
    return ::TranslateAcceleratorW(window_, accelerators_, &msg) != 0;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<MainWindow*>(create->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& e) {
        ShowApplicationError(window, e.what());
    } catch (...) {
        ShowApplicationError(window, "Unknown error");
    }
    // Whatever the message changed (a menu command, a dialog's OK, the
    // capture pause) holds for the texts read from now on.
    self->ApplyModel();
    return result;
}

void MainWindow::ApplyModel()
{
    if (!mainMenu_ || !capture_)
        return;
    capture_->Publish(model_.Switches());
    if (appliedRevision_ == model_.Revision())
        return;
    appliedRevision_ = model_.Revision();
    HMENU menu = mainMenu_.Get();
    CheckMenuCommand(menu, ID_OPTIONS_MONITORING, model_.Monitoring());
    CheckMenuCommand(menu, ID_OPTIONS_TRANSLATION, model_.Translation().checked);
    ::EnableMenuItem(menu, ID_OPTIONS_TRANSLATION,
                     MF_BYCOMMAND | (model_.TranslationPossible() ? MF_ENABLED : MF_GRAYED));
    CheckMenuCommand(menu, ID_OPTIONS_ALWAYSONTOP, model_.AlwaysOnTopChecked());
    static constexpr int kMethodItems[] = {ID_METHOD_ASCII, ID_METHOD_HEXSEQ, ID_METHOD_HEXREV, ID_METHOD_UNICODE};
    // From the first to the last item of the group, the greyed ones included.
    ::CheckMenuRadioItem(menu, ID_METHOD_ASCII, ID_METHOD_HALF_HH, kMethodItems[model_.GetTextMethod() - 1],
                         MF_BYCOMMAND);
    CheckMenuCommand(menu, ID_SOURCE_CLIPBOARD, ReadsClipboard(model_.Source()));
    CheckMenuCommand(menu, ID_SOURCE_WEBSOCKET, ReadsWebSockets(model_.Source()));
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        FormCreate();
        return 0;
    case kFirstShowMessage:
        FormShow();
        return 0;
    case WM_DESTROY:
        // A menu still on the window goes with it: it must not be destroyed twice.
        if (::GetMenu(window_) == mainMenu_.Get())
            mainMenu_.Release();
        FormDestory();
        ::PostQuitMessage(0);
        return 0;
    case WM_QUERYENDSESSION:
        // A logoff or shutdown may end the process without WM_DESTROY.
        SaveSettingsOnce();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            FormDestory();
        else
            settingsSaved_ = false;  // the session goes on: what changes from now on is saved at exit
        return 0;
    case kUiWorkMessage:
        if (capture_)
            capture_->RunPosted();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_HOTKEY:
        OnHotkey(static_cast<int>(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        if (IsProfileMenu(reinterpret_cast<HMENU>(wParam)))
            FillProfileMenu(reinterpret_cast<HMENU>(wParam));
        else if (IsEngineMenu(reinterpret_cast<HMENU>(wParam)))
            FillEngineMenu(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kTransTimerId)
            TransTimerTimer(*this);
        else if (wParam == kPipelineTimerId)
            RunPipelineTurn();
        else if (wParam == kKeepOnTopTimerId)
            frame_.KeepOnTop();
        return 0;
    case WM_SIZE:
        frame_.LayOutLogView();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL:
        if (OnStripMouse(message, wParam, lParam))
            return 0;
        break;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_NCHITTEST:
        if (const LRESULT area = frame_.HitTest(lParam))
            return area;
        break;
    case WM_WINDOWPOSCHANGING:
        frame_.Snap(*reinterpret_cast<WINDOWPOS*>(lParam));
        break;
    case WM_ERASEBKGND:
        frame_.EraseBackground(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        if (reinterpret_cast<HWND>(lParam) == logViewHandle_) {
            auto dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, ToColorRef(logFont_.colour, ::GetSysColor(COLOR_WINDOWTEXT)));
            ::SetBkColor(dc, logBackgroundRgb_);
            return reinterpret_cast<LRESULT>(logBackgroundBrush_.Get());
        }
        break;
    default:
        break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::FormCreate()
{
    logView_ = std::make_unique<LogViewWindow>();
    logViewHandle_ = logView_->Create(window_, IDC_LOGVIEW);
    if (!logViewHandle_)
        throw AppError("Cannot create the log view");
    logView_->SetOnChanged([this] {
        if (model_.SubtitleMode())
            DrawStrip();
    });
    frame_.Attach(window_, logViewHandle_);
    frame_.SetDpi(WindowDpi(window_));
    SubclassLogView();
    SetLogBackground(kClWindow);
    colorDialogColour_ = logBackground_;
    ApplyLogFont(DesignFont(frame_.Dpi()));
    frame_.LayOutLogView();
    prompts_.SetOwner(window_);
    textFiltersDialog_ = std::make_unique<TextFiltersDialog>(instance_);
    textFiltersDialog_->Create(window_);

    capture_ = std::make_unique<CaptureService>(window_, kUiWorkMessage, *logView_, prompts_);
    capture_->Pipeline().SetTurnScheduler([this] { OnTurnAsked(); });
    CreateServerDialog();
    CreateWebSocketDialog();
    CreateCompanionDialog();
    CreateProfiles();

    model_.SetGetTextMethod(Ascii);
    programTitle_ = BuildProgramTitle(ReadFileVersion());
    ApplyModel();
    capture_->Start();
    logView_->SetText(Widen(programTitle_ + kStartupCredits + "\r\n" + kStartupSite));
    LoadSettingsIntoWindow();
    LoadProfile();
    StartChosenEngine();
    StartTextSource();
    StartCompanion();
    RegisterHotkeys();
    ::SetWindowTextA(window_, programTitle_.c_str());
}

void MainWindow::OnTurnAsked()
{
    const std::optional<unsigned> wait = throttle_.OnTurnAsked();
    if (!wait) {
        RunPipelineTurn();
        return;
    }
    if (*wait == 0)
        return;  // the armed timer takes the turn
    if (!::SetTimer(window_, kPipelineTimerId, *wait, nullptr)) {
        throttle_.TimerFailed();
        RunPipelineTurn();  // no timer to wait with: no waiting
    }
}

void MainWindow::RunPipelineTurn()
{
    if (throttle_.TimerArmed())
        ::KillTimer(window_, kPipelineTimerId);
    throttle_.OnTurnRun();
    if (!capture_)
        return;
    // Also when the turn throws (a text that failed to decode) after what it showed.
    struct TurnEnd {
        TurnThrottle& throttle;
        LogViewWindow& view;
        std::uint64_t editsBefore;
        ~TurnEnd() { throttle.OnTurnEnd(view.Edits() != editsBefore); }
    } end{throttle_, *logView_, logView_->Edits()};
    capture_->Pipeline().OnUiTurn();
}

void MainWindow::FormShow()
{
    // Applied again once shown: showing a window for the first time under
    // Wine drops a top-most state given while it was hidden.
    if (model_.AlwaysOnTopChecked())
        SetTopMost(true);
    if (settings_.AgthATrun == 1 && agthHelpForm_)
        AttchprocesswithAGTH1Click();
}

// Settings first, so that nothing the program waits for can lose them; then
// the clipboard chain and the engines.
void MainWindow::FormDestory()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    model_.BeginClosing();
    ApplyModel();
    StopTimer();
    ::KillTimer(window_, kPipelineTimerId);
    UnregisterHotkeys();
    SaveSettingsOnce();
    if (memory_)
        memory_->StopLoading();
    if (capture_)
        capture_->Stop();
}

// Once per ending: a session end asks (WM_QUERYENDSESSION) and then destroys
// (WM_ENDSESSION), and a failed save must not show its box twice.
void MainWindow::SaveSettingsOnce()
{
    if (settingsSaved_)
        return;
    settingsSaved_ = true;
    SaveSettingsFromWindow();
}

void MainWindow::OnCommand(int id)
{
    switch (id) {
    case ID_FILE_AGTHHELPER:
        AttchprocesswithAGTH1Click();
        break;
    case ID_FILE_OPENHISTORYFOLDER:
        OpenHistoryFolder1Click();
        break;
    case ID_FILE_SAVETEXTAS:
        Savetextas1Click();
        break;
    case ID_FILE_EXIT:
    case ID_POPUP_EXIT:
        ::SendMessageW(window_, WM_CLOSE, 0, 0);
        break;
    case ID_OPTIONS_MONITORING:
        ClipboardMonitoring1Click();
        break;
    case ID_OPTIONS_TRANSLATION:
        ranslation1Click();
        break;
    case ID_OPTIONS_ALWAYSONTOP:
        Alwaysontop1Click();
        break;
    case ID_OPTIONS_FONT:
    case ID_POPUP_FONT:
        Font1Click();
        break;
    case ID_METHOD_ASCII:
    case ID_METHOD_HEXSEQ:
    case ID_METHOD_HEXREV:
    case ID_METHOD_UNICODE:
        GetTextMethod1Click(id == ID_METHOD_UNICODE ? UnicodeText : Ascii + (id - ID_METHOD_ASCII));
        break;
    case ID_OPTIONS_ADVANCED:
    case ID_POPUP_SETTINGS:
        tClick();
        break;
    case ID_OPTIONS_TEXTFILTERS:
    case ID_POPUP_TEXTFILTERS:
        TextFilters1Click();
        break;
    case ID_SOURCE_CLIPBOARD:
    case ID_SOURCE_WEBSOCKET:
    case ID_SOURCE_WEBSOCKETSETTINGS:
        OnTextSourceCommand(id);
        break;
    case ID_OPTIONS_COMPANION:
        ReadingCompanion1Click();
        break;
    case ID_HELP_ABOUT:
        About1Click();
        break;
    case ID_POPUP_CLEARTEXT:
        Cleartext1Click();
        break;
    case ID_POPUP_CORRECT:
        CorrectTranslation1Click();
        break;
    case ID_POPUP_RETRANSLATE:
        TranslateAgain1Click();
        break;
    case ID_POPUP_SUBTITLE:
        TntMemo1DblClick();
        break;
    case ID_POPUP_CLICKTHROUGH:
        ClickThrough1Click();
        break;
    default:
        if (id >= ID_PROFILE_NONE && id <= ID_PROFILE_LAST)
            OnProfileCommand(id);
        else if (id >= ID_ENGINE_FIRST && id <= ID_ENGINE_LAST)
            OnEngineCommand(id);
        break;  // the Half && Half methods and Plug-In are disabled
    }
}

// The method in force, kept for the game while a profile is in force.
void MainWindow::GetTextMethod1Click(int method)
{
    const AppSettings before = settings_;
    model_.SetGetTextMethod(method);
    settings_.GetTextMethod = model_.GetTextMethod();
    TakeSettingsChanges(before, {"Setting/GetTextMethod"});
}

void MainWindow::AttchprocesswithAGTH1Click()
{
    if (agthHelpForm_)
        agthHelpForm_->ShowModal();
}

void MainWindow::ClipboardMonitoring1Click()
{
    model_.ToggleMonitoring();
}

void MainWindow::ranslation1Click()
{
    model_.ToggleTranslation();
}

void MainWindow::Alwaysontop1Click()
{
    const bool topMost = !frame_.TopMost();
    SetTopMost(topMost);
    model_.SetAlwaysOnTopChecked(topMost);
}

void MainWindow::tClick()
{
    if (!settingForm_)
        return;
    RECT bounds;
    ::GetWindowRect(window_, &bounds);
    settingForm_->MoveTo(bounds.left + 50, bounds.top - 50);
    const AppSettings before = settings_;
    settingForm_->ShowModal();
    // The code page is the game's while a profile is in force.
    TakeSettingsChanges(before, {"Setting/Codepage"});
}

void MainWindow::About1Click()
{
    if (!aboutForm_)
        return;
    RECT bounds;
    ::GetWindowRect(window_, &bounds);
    aboutForm_->MoveTo(bounds.left + 50, bounds.top + 50);
    aboutForm_->ShowModal();
}

void MainWindow::EnterSubtitleMode()
{
    model_.EnterSubtitleMode();
    SetTopMost(true);
    frame_.EnterSubtitle(logBackgroundRgb_);
    frame_.SetClickThrough(model_.ClickThrough());
    DrawStrip();
    ::SetTimer(window_, kKeepOnTopTimerId, kKeepOnTopMs, nullptr);
}

void MainWindow::LeaveSubtitleMode()
{
    // The normal window always takes clicks; the choice is kept for next time.
    model_.LeaveSubtitleMode();
    ::KillTimer(window_, kKeepOnTopTimerId);
    frame_.SetClickThrough(false);
    SetTopMost(model_.AlwaysOnTopChecked());
    frame_.LeaveSubtitle(mainMenu_.Get());
}

void MainWindow::SetTopMost(bool topMost)
{
    const HWND owned[] = {settingForm_ ? settingForm_->Handle() : nullptr, aboutForm_ ? aboutForm_->Handle() : nullptr,
                          agthHelpForm_ ? agthHelpForm_->Handle() : nullptr,
                          textFiltersDialog_ ? textFiltersDialog_->Handle() : nullptr};
    frame_.SetTopMost(topMost, owned);
}

void MainWindow::StartTimer(unsigned milliseconds)
{
    ::SetTimer(window_, kTransTimerId, milliseconds, nullptr);
}

void MainWindow::StopTimer()
{
    ::KillTimer(window_, kTransTimerId);
}

} // namespace kx::win32
