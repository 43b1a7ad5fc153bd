// The main window's log view: its context menu, font and colours, the
// double-click that toggles subtitle mode, dragging the strip by its text,
// and saving and clearing the log.
#include "app/save_text.h"
#include "app/subtitle_mode.h"
#include "app/win32/subtitle_strip.h"
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "common/app_error.h"
#include "platform/win32/save_text_file.h"
#include "platform/win32/ui/controls.h"
#include "platform/win32/ui/dialog_layout.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <exception>

namespace kx::win32 {
namespace {

constexpr UINT_PTR kLogViewSubclassId = 1;

} // namespace

void MainWindow::DrawStrip()
{
    if (!model_.SubtitleMode())
        return;
    const int dpi = frame_.Dpi();
    StripPicture picture;
    picture.look.textRgb = RgbOf(ToColorRef(logFont_.colour, ::GetSysColor(COLOR_WINDOWTEXT)));
    picture.look.outlineRgb = RgbOf(ToColorRef(settings_.Subtitle.OutlineColor, RGB(0, 0, 0)));
    picture.look.backgroundRgb = RgbOf(logBackgroundRgb_);
    picture.look.backgroundAlpha = frame_.AlphaBlending() ? frame_.Alpha() : 255;
    picture.look.outlineWidth = Scaled(std::clamp(settings_.Subtitle.OutlineWidth, 0, 8), dpi);
    picture.look.shadow = settings_.Subtitle.ShadowOn();
    picture.align = settings_.Subtitle.Align;
    picture.margin = Scaled(kSubtitleMargin, dpi);
    DrawSubtitleStrip(window_, *logView_, picture);
}

void MainWindow::SubtitleLookChanged()
{
    DrawStrip();
}

bool MainWindow::OnStripMouse(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!model_.SubtitleMode())
        return false;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
        TntMemo1MouseDown();
        return true;
    case WM_LBUTTONDBLCLK:
        TntMemo1DblClick();
        return true;
    case WM_CONTEXTMENU:
        PopupMenu1Popup(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return true;
    case WM_MOUSEWHEEL:
        // The wheel still scrolls the strip's text.
        ::SendMessageW(logViewHandle_, WM_MOUSEWHEEL, wParam, lParam);
        return true;
    default:
        return false;
    }
}

void MainWindow::SubclassLogView()
{
    ::SetWindowSubclass(logViewHandle_, &MainWindow::LogViewProc, kLogViewSubclassId,
                        reinterpret_cast<DWORD_PTR>(this));
}

void MainWindow::Savetextas1Click()
{
    const std::optional<std::wstring> path =
        ChooseFileToSave(window_, {L"Text Files(*.txt)\0*.txt\0", nullptr, L"txt"});
    if (!path)
        return;
    const DWORD attributes = ::GetFileAttributesW(path->c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !prompts_.Confirm(u"YES to overwrite " + Utf16(*path)))
        return;
    // Written beside the target and moved over it when complete.
    if (const std::optional<std::u16string> error = SaveTextFile(*path, SavedLogBytes(logView_->Text())))
        prompts_.ShowAppError(*error);
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

void MainWindow::Cleartext1Click()
{
    // Texts read before the clear and still on their way stay cleared too.
    if (capture_)
        capture_->Pipeline().Clear();
    logView_->SetText(u"");
}

void MainWindow::TntMemo1DblClick()
{
    if (model_.SubtitleMode())
        LeaveSubtitleMode();
    else
        EnterSubtitleMode();
}

void MainWindow::TntMemo1MouseDown()
{
    if (model_.SubtitleMode())
        frame_.BeginDrag();
}

// "Correct translation..": the line under the mouse, corrected in the log
// and the strip, and kept in the game's memory from now on.
void MainWindow::CorrectTranslation1Click()
{
    if (!popupLine_ || !correctionDialog_)
        return;
    const CapturePipeline::LineInView line = *popupLine_;
    if (const std::optional<std::u16string> corrected = correctionDialog_->Ask(line.line.source, line.line.shown))
        if (!capture_->Pipeline().CorrectLine(line, *corrected))
            capture_->Pipeline().AddProgramLine(u"The line is no longer in the log: nothing was corrected");
}

void MainWindow::TranslateAgain1Click()
{
    if (popupLine_)
        TranslateAgain(*popupLine_);
}

void MainWindow::TranslateAgain(const CapturePipeline::LineInView& line)
{
    if (!model_.TranslationPossible())
        return;
    const CaptureSwitches now = model_.Switches();
    capture_->Pipeline().Retranslate(line, now.engines, now.filters);
}

void MainWindow::PopupMenu1Popup(POINT screen)
{
    HMENU popup = ::GetSubMenu(popupMenu_.Get(), 0);
    const ContextMenuState state = model_.ContextMenu();
    ::ModifyMenuW(popup, ID_POPUP_SUBTITLE, MF_BYCOMMAND | MF_STRING, ID_POPUP_SUBTITLE,
                  Wide(state.subtitleItem).c_str());
    ::EnableMenuItem(popup, ID_POPUP_CLICKTHROUGH, MF_BYCOMMAND | (state.clickThroughEnabled ? MF_ENABLED : MF_GRAYED));
    CheckMenuCommand(popup, ID_POPUP_CLICKTHROUGH, state.clickThroughChecked);
    if (screen.x == -1 && screen.y == -1) {
        RECT r;
        ::GetWindowRect(logViewHandle_, &r);
        screen = POINT{r.left + 8, r.top + 8};
    }
    POINT client = screen;
    ::ScreenToClient(logViewHandle_, &client);
    popupLine_ = capture_ ? capture_->Pipeline().CapturedLineAt(logView_->OffsetAt(client)) : std::nullopt;
    ::EnableMenuItem(popup, ID_POPUP_CORRECT, MF_BYCOMMAND | (popupLine_ ? MF_ENABLED : MF_GRAYED));
    ::EnableMenuItem(popup, ID_POPUP_RETRANSLATE,
                     MF_BYCOMMAND | (popupLine_ && model_.TranslationPossible() ? MF_ENABLED : MF_GRAYED));
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, window_, nullptr);
}

LRESULT CALLBACK MainWindow::LogViewProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data)
{
    auto* self = reinterpret_cast<MainWindow*>(data);
    LRESULT result = 0;
    try {
        result = self->HandleLogViewMessage(edit, message, wParam, lParam);
    } catch (const std::exception& e) {
        ShowApplicationError(self->window_, e.what());
    } catch (...) {
        ShowApplicationError(self->window_, "Unknown error");
    }
    self->ApplyModel();
    return result;
}

LRESULT MainWindow::HandleLogViewMessage(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDBLCLK:
        TntMemo1DblClick();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (model_.SubtitleMode()) {
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

void MainWindow::ApplyLogFont(const LogFont& font)
{
    logFont_ = font;
    UniqueFont chosen(::CreateFontIndirectW(&logFont_.logFont));
    // The view lets go of the old font before it is deleted.
    ::SendMessageW(logViewHandle_, WM_SETFONT, reinterpret_cast<WPARAM>(chosen.Get()), TRUE);
    logFontHandle_ = std::move(chosen);
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
    DrawStrip();
}

} // namespace kx::win32
