#include "app/win32/main_window.h"

#include "app/program_title.h"
#include "app/save_text.h"
#include "app/subtitle_mode.h"
#include "app/win32/resource_ids.h"
#include "app/win32/server_settings_dialog.h"
#include "app/win32/text_filters_dialog.h"
#include "capture/append_log.h"
#include "common/app_error.h"
#include "common/text.h"
#include "platform/win32/dialog_layout.h"
#include "platform/win32/save_text_file.h"
#include "platform/win32/win32_version.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <exception>
#include <iterator>

namespace kx::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"KestruneEXMainWindow";
constexpr UINT_PTR kTransTimerId = 1;
constexpr UINT_PTR kLogViewSubclassId = 1;
constexpr UINT kFirstShowMessage = WM_APP + 1;
constexpr UINT kPipelineTurnMessage = WM_APP + 2;
constexpr UINT_PTR kPipelineTimerId = 2;
// A burst is shown in turns at least this far apart. Under Wine every edit of
// the visible log view costs over 10 ms however short the text, so turns back
// to back would keep a core busy that the clipboard reader and the hooker
// need; a line after a quiet moment is still shown at once.
constexpr ULONGLONG kMinTurnGapMs = 25;
constexpr int kSnapDistance = 10;
constexpr int kDesignClientWidth = 623;
constexpr int kDesignClientHeight = 252;
constexpr DWORD kNormalFrame = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kSubtitleFrame = WS_POPUP | WS_CLIPCHILDREN;

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

MainWindow::MainWindow(HINSTANCE instance, AppSettings& settings) : instance_(instance), settings_(settings) {}

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
    ::AdjustWindowRectEx(&outer, kNormalFrame, TRUE, WS_EX_COMPOSITED);
    mainMenu_.Reset(::LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_MAINMENU)));
    popupMenu_.Reset(::LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_POPUPMENU)));
    accelerators_ = ::LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    // The window paints double-buffered.
    window_ = ::CreateWindowExW(WS_EX_COMPOSITED, kWindowClass, L"", kNormalFrame, 100, 100, outer.right - outer.left,
                                outer.bottom - outer.top, nullptr, mainMenu_.Get(), instance_, this);
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
    // Without the menu (subtitle mode) its shortcut keys are gone too.
    if (!window_ || subtitleMode_ || !accelerators_)
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
    self->PublishCaptureSwitches();
    return result;
}

void MainWindow::PublishCaptureSwitches()
{
    if (!mainMenu_)
        return;
    CaptureSwitches now;
    now.monitoring = MenuCheck(ID_OPTIONS_MONITORING) && !closing_;
    now.method = getTextMethod_;
    now.options = settings_.Sink();
    // Translation is off from the moment the engine failed, also while its
    // error box is open.
    now.translate = translation_.Active() && TranslationPossible();
    now.engine = settings_.Engine;
    now.filters = publishedFilters_;
    std::lock_guard lock(switchesMutex_);
    switches_ = now;
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
    case kPipelineTurnMessage:
        OnPipelineWake();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_HOTKEY:
        OnHotkey(static_cast<int>(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kTransTimerId)
            TransTimerTimer(*this);
        else if (wParam == kPipelineTimerId)
            RunPipelineTurn();
        return 0;
    case WM_SIZE:
        LayoutLogView();
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_NCHITTEST:
        return OnNcHitTest(wParam, lParam);
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(*reinterpret_cast<WINDOWPOS*>(lParam));
        return ::DefWindowProcW(window_, message, wParam, lParam);
    case WM_ERASEBKGND: {
        RECT client;
        ::GetClientRect(window_, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, windowBackgroundBrush_.Get());
        return 1;
    }
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
    dpi_ = WindowDpi(window_);
    windowBackground_ = ::GetSysColor(COLOR_BTNFACE);
    windowBackgroundBrush_.Reset(::CreateSolidBrush(windowBackground_));
    logViewHandle_ = EditLogView::Create(window_, IDC_LOGVIEW);
    if (!logViewHandle_)
        throw AppError("Cannot create the log view");
    ::SetWindowSubclass(logViewHandle_, &MainWindow::LogViewProc, kLogViewSubclassId,
                        reinterpret_cast<DWORD_PTR>(this));
    logView_ = std::make_unique<EditLogView>(logViewHandle_);
    SetLogBackground(kClWindow);
    colorDialogColour_ = logBackground_;
    ApplyLogFont(DesignFont(dpi_));
    LayoutLogView();
    prompts_.SetOwner(window_);
    textFiltersDialog_ = std::make_unique<TextFiltersDialog>(instance_);
    textFiltersDialog_->Create(window_);
    ansiLeadBytes_ = SystemAnsiLeadBytes();

    reader_ = std::make_unique<ClipboardReaderThread>(ClipboardReaderThread::Handlers{
        [this] {
            const CaptureSwitches now = CurrentSwitches();
            return ClipboardWatcher::ReadSwitches{now.monitoring, now.method == UnicodeText};
        },
        [this](const ClipboardText& text) { OnClipboardText(text); },
        [this](const std::string& message) {
            CapturedText failed;
            failed.failure = message;
            pipeline_->Read(std::move(failed));
        }});
    engine_ = std::make_unique<TranslationEngine>(
        EnginePorts{registry_, files_, libraries_, codePages_, prompts_,
                    [this](const std::u16string& line) { AppendLineToView(*logView_, line); }});
    uiThread_ = std::make_unique<Win32UiThread>(window_, kPipelineTurnMessage);
    server_ = std::make_unique<ServerTranslator>(http_, codePages_);
    pipeline_ = std::make_unique<CapturePipeline>(codePages_, *logView_, *engine_, *server_, *uiThread_, ansiLeadBytes_);
    serverDialog_ = std::make_unique<ServerSettingsDialog>(instance_);
    serverDialog_->Create(window_);
    serverDialog_->SetTestRunner(
        [this](const ServerDialogValues& values, std::function<void(std::u16string)> done) {
            TestServer(values, std::move(done));
        });

    engine_->Reset();
    engine_->TranslationAvailable = false;
    SetGetTextMethod(Ascii);
    programTitle_ = BuildProgramTitle(ReadFileVersion());
    PublishCaptureSwitches();
    reader_->Join();
    logView_->SetText(Widen(programTitle_ + kStartupCredits + "\r\n" + kStartupSite));
    LoadSettingsIntoWindow();
    PublishTextFilters();
    StartChosenEngine();
    RegisterHotkeys();
    ::SetWindowTextA(window_, programTitle_.c_str());
    subtitleMode_ = false;
}

// Texts read from now on share one copy of the filters, made only when they
// change (at load and on the dialog's OK), not at every message.
void MainWindow::PublishTextFilters()
{
    publishedFilters_ = std::make_shared<const TextFilterSettings>(settings_.Filters);
}

void MainWindow::OnPipelineWake()
{
    const ULONGLONG sinceLast = ::GetTickCount64() - lastTurnTick_;
    if (sinceLast >= kMinTurnGapMs) {
        RunPipelineTurn();
        return;
    }
    if (!turnTimerSet_)
        turnTimerSet_ = ::SetTimer(window_, kPipelineTimerId, static_cast<UINT>(kMinTurnGapMs - sinceLast), nullptr) != 0;
    if (!turnTimerSet_)
        RunPipelineTurn();  // no timer to wait with: no waiting
}

void MainWindow::RunPipelineTurn()
{
    if (turnTimerSet_) {
        ::KillTimer(window_, kPipelineTimerId);
        turnTimerSet_ = false;
    }
    lastTurnTick_ = ::GetTickCount64();
    if (pipeline_)
        pipeline_->OnUiTurn();
}

void MainWindow::FormShow()
{
    if (settings_.AgthATrun == 1 && agthHelpForm_)
        AttchprocesswithAGTH1Click();
}

void MainWindow::FormDestory()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    // Nothing more is read; the engine call in progress finishes, the texts
    // not yet started are dropped.
    closing_ = true;
    PublishCaptureSwitches();
    if (pipeline_)
        pipeline_->Stop();
    StopTimer();
    UnregisterHotkeys();
    SaveSettingsOnce();
    if (reader_)
        reader_->Leave();
    if (engine_)
        engine_->TerminateTransEngine();
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

MainWindow::CaptureSwitches MainWindow::CurrentSwitches()
{
    std::lock_guard lock(switchesMutex_);
    return switches_;
}

void MainWindow::OnClipboardText(const ClipboardText& text)
{
    const CaptureSwitches now = CurrentSwitches();
    // The format read decides: the method may have changed since the read.
    int method = now.method;
    if (text.unicode)
        method = UnicodeText;
    else if (method == UnicodeText)
        method = Ascii;
    CapturedText captured{text.bytes, text.wide, method, now.options, now.translate, now.filters, {}};
    captured.engine = now.engine;
    pipeline_->Read(std::move(captured));
}

void MainWindow::OnCommand(int id)
{
    switch (id) {
    case ID_FILE_AGTHHELPER:
        AttchprocesswithAGTH1Click();
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
        SetGetTextMethod(Ascii);
        break;
    case ID_METHOD_HEXSEQ:
        SetGetTextMethod(HexSequential);
        break;
    case ID_METHOD_HEXREV:
        SetGetTextMethod(HexReverse);
        break;
    case ID_METHOD_UNICODE:
        SetGetTextMethod(UnicodeText);
        break;
    case ID_OPTIONS_ADVANCED:
    case ID_POPUP_SETTINGS:
        tClick();
        break;
    case ID_OPTIONS_TEXTFILTERS:
    case ID_POPUP_TEXTFILTERS:
        TextFilters1Click();
        break;
    case ID_ENGINE_EZTRANS:
        EngineEzTrans1Click();
        break;
    case ID_ENGINE_SERVER:
        EngineServer1Click();
        break;
    case ID_ENGINE_SERVERSETTINGS:
        ServerSettings1Click();
        break;
    case ID_HELP_ABOUT:
        About1Click();
        break;
    case ID_POPUP_CLEARTEXT:
        Cleartext1Click();
        break;
    case ID_POPUP_SUBTITLE:
        TntMemo1DblClick();
        break;
    case ID_POPUP_CLICKTHROUGH:
        ClickThrough1Click();
        break;
    default:
        break;  // the Half && Half methods and Plug-In are disabled
    }
}

void MainWindow::SetGetTextMethod(int method)
{
    static constexpr int kItems[] = {ID_METHOD_ASCII, ID_METHOD_HEXSEQ, ID_METHOD_HEXREV, ID_METHOD_UNICODE};
    if (method < Ascii || method > UnicodeText)
        return;
    getTextMethod_ = method;
    // From the first to the last item of the group, the greyed ones included.
    ::CheckMenuRadioItem(mainMenu_.Get(), ID_METHOD_ASCII, ID_METHOD_HALF_HH, kItems[method - 1], MF_BYCOMMAND);
}

void MainWindow::AttchprocesswithAGTH1Click()
{
    if (agthHelpForm_)
        agthHelpForm_->ShowModal();
}

void MainWindow::Savetextas1Click()
{
    wchar_t path[MAX_PATH * 4] = {};
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = L"Text Files(*.txt)\0*.txt\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = static_cast<DWORD>(std::size(path));
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER;
    if (!::GetSaveFileNameW(&dialog))
        return;

    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const std::wstring question = std::wstring(L"YES to overwrite ") + path;
        if (::MessageBoxW(window_, question.c_str(), L"Confirm", MB_YESNOCANCEL | MB_ICONQUESTION) != IDYES)
            return;
    }

    // Written beside the target and moved over it when complete.
    if (const std::optional<std::u16string> error = SaveTextFile(path, SavedLogBytes(logView_->Text())))
        prompts_.ShowAppError(*error);
}

void MainWindow::ClipboardMonitoring1Click()
{
    SetMenuCheck(ID_OPTIONS_MONITORING, !MenuCheck(ID_OPTIONS_MONITORING));
}

void MainWindow::ranslation1Click()
{
    translation_.Toggle();
    SetMenuCheck(ID_OPTIONS_TRANSLATION, translation_.checked);
}

void MainWindow::Alwaysontop1Click()
{
    const bool topMost = IsTopMost();
    SetTopMost(!topMost);
    SetMenuCheck(ID_OPTIONS_ALWAYSONTOP, !topMost);
}

void MainWindow::Font1Click()
{
    LOGFONTW chosen = logFont_.logFont;
    CHOOSEFONTW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpLogFont = &chosen;
    dialog.Flags = CF_INITTOLOGFONTSTRUCT | CF_SCREENFONTS | CF_EFFECTS;
    dialog.rgbColors = ToColorRef(logFont_.colour, ::GetSysColor(COLOR_WINDOWTEXT));
    // Cancel leaves the dialog's font as it was, which is the view's font.
    if (::ChooseFontW(&dialog))
        ApplyLogFont(LogFont{chosen, static_cast<Color>(dialog.rgbColors)});
}

void MainWindow::tClick()
{
    if (!settingForm_)
        return;
    RECT bounds;
    ::GetWindowRect(window_, &bounds);
    settingForm_->MoveTo(bounds.left + 50, bounds.top - 50);
    settingForm_->ShowModal();
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

void MainWindow::TextFilters1Click()
{
    if (auto edited = textFiltersDialog_->Edit(settings_.Filters)) {
        settings_.Filters = std::move(*edited);
        PublishTextFilters();
    }
    PublishCaptureSwitches();
}

void MainWindow::Cleartext1Click()
{
    logView_->SetText(u"");
}

void MainWindow::TntMemo1DblClick()
{
    if (subtitleMode_)
        LeaveSubtitleMode();
    else
        EnterSubtitleMode();
}

void MainWindow::TntMemo1MouseDown()
{
    if (!subtitleMode_)
        return;
    ::ReleaseCapture();
    ::SendMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void MainWindow::PopupMenu1Popup(POINT screen)
{
    HMENU popup = ::GetSubMenu(popupMenu_.Get(), 0);
    const bool normalFrame = (::GetWindowLongW(window_, GWL_STYLE) & WS_THICKFRAME) != 0;
    ::ModifyMenuW(popup, ID_POPUP_SUBTITLE, MF_BYCOMMAND | MF_STRING, ID_POPUP_SUBTITLE,
                  normalFrame ? L"&Enter subtitle mode" : L"&Exit subtitle mode");
    ::EnableMenuItem(popup, ID_POPUP_CLICKTHROUGH, MF_BYCOMMAND | (subtitleMode_ ? MF_ENABLED : MF_GRAYED));
    ::CheckMenuItem(popup, ID_POPUP_CLICKTHROUGH, MF_BYCOMMAND | (clickThrough_ ? MF_CHECKED : MF_UNCHECKED));
    if (screen.x == -1 && screen.y == -1) {
        RECT r;
        ::GetWindowRect(logViewHandle_, &r);
        screen = POINT{r.left + 8, r.top + 8};
    }
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, window_, nullptr);
}

void MainWindow::EnterSubtitleMode()
{
    subtitleMode_ = true;
    SetTopMost(true);
    SetMenuCheck(ID_OPTIONS_ALWAYSONTOP, true);
    settings_.uot = 1;
    RECT outer;
    ::GetWindowRect(window_, &outer);
    ::SetMenu(window_, nullptr);
    ::SetWindowLongW(window_, GWL_STYLE, (::GetWindowLongW(window_, GWL_STYLE) & ~kNormalFrame) | kSubtitleFrame);
    ::SetWindowLongW(logViewHandle_, GWL_EXSTYLE, ::GetWindowLongW(logViewHandle_, GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE);
    ::SetWindowPos(logViewHandle_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    windowBackground_ = logBackgroundRgb_;
    windowBackgroundBrush_.Reset(::CreateSolidBrush(windowBackground_));
    // The frame goes, the outer bounds stay.
    ::SetWindowPos(window_, nullptr, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    LayoutLogView();
    ::InvalidateRect(window_, nullptr, TRUE);
    // As the user left it the last time.
    ApplyClickThrough(settings_.ClickThroughOn());
}

void MainWindow::LeaveSubtitleMode()
{
    // The normal window always takes clicks; the choice is kept for next time.
    ApplyClickThrough(false);
    subtitleMode_ = false;
    SetTopMost(false);
    SetMenuCheck(ID_OPTIONS_ALWAYSONTOP, false);
    settings_.uot = 0;
    RECT outer;
    ::GetWindowRect(window_, &outer);
    ::SetMenu(window_, mainMenu_.Get());
    ::SetWindowLongW(window_, GWL_STYLE, (::GetWindowLongW(window_, GWL_STYLE) & ~kSubtitleFrame) | kNormalFrame);
    ::SetWindowLongW(logViewHandle_, GWL_EXSTYLE, ::GetWindowLongW(logViewHandle_, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
    ::SetWindowPos(logViewHandle_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    windowBackground_ = ::GetSysColor(COLOR_BTNFACE);
    windowBackgroundBrush_.Reset(::CreateSolidBrush(windowBackground_));
    ::SetWindowPos(window_, nullptr, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    LayoutLogView();
    ::InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::LayoutLogView()
{
    if (!logViewHandle_)
        return;
    RECT client;
    ::GetClientRect(window_, &client);
    const int margin = subtitleMode_ ? Scaled(kSubtitleMargin, dpi_) : 0;
    ::MoveWindow(logViewHandle_, margin, margin, client.right - 2 * margin, client.bottom - 2 * margin, TRUE);
}

LRESULT MainWindow::OnNcHitTest(WPARAM wParam, LPARAM lParam)
{
    if (!subtitleMode_)
        return ::DefWindowProcW(window_, WM_NCHITTEST, wParam, lParam);
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(window_, &p);
    RECT outer;
    ::GetWindowRect(window_, &outer);
    const HitArea area = SubtitleHitTest(p.x, p.y, outer.right - outer.left, outer.bottom - outer.top,
                                         Scaled(kSubtitleResizeBand, dpi_));
    if (area == HitArea::Default)
        return ::DefWindowProcW(window_, WM_NCHITTEST, wParam, lParam);
    return static_cast<LRESULT>(area);
}

void MainWindow::OnWindowPosChanging(WINDOWPOS& pos)
{
    // Snap to the edges of the work area when moved near them.
    if ((pos.flags & SWP_NOMOVE) || ::IsIconic(window_) || ::IsZoomed(window_))
        return;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    int width = pos.cx, height = pos.cy;
    if (pos.flags & SWP_NOSIZE) {
        RECT r;
        ::GetWindowRect(window_, &r);
        width = r.right - r.left;
        height = r.bottom - r.top;
    }
    if (std::abs(pos.x - work.left) < Scaled(kSnapDistance, dpi_))
        pos.x = work.left;
    else if (std::abs(pos.x + width - work.right) < Scaled(kSnapDistance, dpi_))
        pos.x = work.right - width;
    if (std::abs(pos.y - work.top) < Scaled(kSnapDistance, dpi_))
        pos.y = work.top;
    else if (std::abs(pos.y + height - work.bottom) < Scaled(kSnapDistance, dpi_))
        pos.y = work.bottom - height;
}

LRESULT CALLBACK MainWindow::LogViewProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data)
{
    auto* self = reinterpret_cast<MainWindow*>(data);
    try {
        return self->HandleLogViewMessage(edit, message, wParam, lParam);
    } catch (const std::exception& e) {
        ShowApplicationError(self->window_, e.what());
    } catch (...) {
        ShowApplicationError(self->window_, "Unknown error");
    }
    return 0;
}

LRESULT MainWindow::HandleLogViewMessage(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDBLCLK:
        TntMemo1DblClick();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (subtitleMode_) {
            TntMemo1MouseDown();
            return 0;
        }
        break;
    case WM_CONTEXTMENU:
        PopupMenu1Popup(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(edit, &MainWindow::LogViewProc, kLogViewSubclassId);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(edit, message, wParam, lParam);
}

void MainWindow::SetMonitoring(bool on)
{
    SetMenuCheck(ID_OPTIONS_MONITORING, on);
}

void MainWindow::StartTimer(unsigned milliseconds)
{
    ::SetTimer(window_, kTransTimerId, milliseconds, nullptr);
}

void MainWindow::StopTimer()
{
    ::KillTimer(window_, kTransTimerId);
}

void MainWindow::SetTopMost(bool topMost)
{
    // Wine lifts the windows that this one owns into the top-most band in its
    // place; the hidden secondary windows are let go of for the move.
    HWND owned[] = {settingForm_ ? settingForm_->Handle() : nullptr, aboutForm_ ? aboutForm_->Handle() : nullptr,
                    agthHelpForm_ ? agthHelpForm_->Handle() : nullptr,
                    textFiltersDialog_ ? textFiltersDialog_->Handle() : nullptr};
    for (HWND window : owned)
        if (window && !::IsWindowVisible(window))
            ::SetWindowLongPtrW(window, GWLP_HWNDPARENT, 0);
    ::SetWindowPos(window_, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (HWND window : owned)
        if (window && !::IsWindowVisible(window))
            ::SetWindowLongPtrW(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(window_));
}

bool MainWindow::IsTopMost() const
{
    return (::GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

void MainWindow::SetMenuCheck(int id, bool checked)
{
    ::CheckMenuItem(mainMenu_.Get(), static_cast<UINT>(id), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool MainWindow::MenuCheck(int id) const
{
    return (::GetMenuState(mainMenu_.Get(), static_cast<UINT>(id), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void MainWindow::ApplyLogFont(const LogFont& font)
{
    logFont_ = font;
    logFontHandle_.Reset(::CreateFontIndirectW(&logFont_.logFont));
    ::SendMessageW(logViewHandle_, WM_SETFONT, reinterpret_cast<WPARAM>(logFontHandle_.Get()), TRUE);
}

COLORREF ToColorRef(Color colour, COLORREF fallback)
{
    if (IsSystemColor(colour))
        return ::GetSysColor(SystemColorIndex(colour));
    if (colour & 0xFF000000u)
        return fallback;
    return static_cast<COLORREF>(colour);
}

void MainWindow::SetLogBackground(Color colour)
{
    logBackground_ = colour;
    logBackgroundRgb_ = ToColorRef(colour, ::GetSysColor(COLOR_WINDOW));
    logBackgroundBrush_.Reset(::CreateSolidBrush(logBackgroundRgb_));
    if (logViewHandle_)
        ::InvalidateRect(logViewHandle_, nullptr, TRUE);
}

} // namespace kx::win32
