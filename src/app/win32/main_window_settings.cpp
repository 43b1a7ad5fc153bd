// Between KestruneEX.ini and the main window: what the load applies to the
// window and what the save reads from it.
#include "app/win32/main_window.h"

#include "platform/win32/ui/dialog_layout.h"
#include "platform/win32/win32_code_pages.h"

#include <commdlg.h>

namespace kx::win32 {
namespace {

// Sizes are stored in points, whatever the dpi of the window's monitor.
FontDescription DescribeFont(const LogFont& font, int dpi)
{
    FontDescription d;
    const std::wstring face = font.logFont.lfFaceName;
    d.faceName = Win32CodePages().FromWide(Utf16(face), CP_ACP);
    d.color = font.colour;
    d.sizePoints = FontPointsForHeight(font.logFont.lfHeight, dpi);
    switch (font.logFont.lfPitchAndFamily & 0x3) {
    case FIXED_PITCH:
        d.pitch = FontPitch::Fixed;
        break;
    case VARIABLE_PITCH:
        d.pitch = FontPitch::Variable;
        break;
    default:
        d.pitch = FontPitch::Default;
        break;
    }
    d.bold = font.logFont.lfWeight >= FW_BOLD;
    d.italic = font.logFont.lfItalic != 0;
    d.underline = font.logFont.lfUnderline != 0;
    d.strikeout = font.logFont.lfStrikeOut != 0;
    return d;
}

LogFont MakeFont(const FontDescription& d, int dpi)
{
    LogFont font;
    const std::wstring wide = Wide(AnsiToU16(d.faceName));
    lstrcpynW(font.logFont.lfFaceName, wide.c_str(), LF_FACESIZE);
    font.logFont.lfHeight = FontHeightForPoints(d.sizePoints, dpi);
    font.logFont.lfWeight = d.bold ? FW_BOLD : FW_NORMAL;
    font.logFont.lfItalic = d.italic;
    font.logFont.lfUnderline = d.underline;
    font.logFont.lfStrikeOut = d.strikeout;
    font.logFont.lfCharSet = DEFAULT_CHARSET;
    font.logFont.lfPitchAndFamily =
        d.pitch == FontPitch::Fixed ? FIXED_PITCH : d.pitch == FontPitch::Variable ? VARIABLE_PITCH : DEFAULT_PITCH;
    font.colour = d.color;
    return font;
}

} // namespace

void MainWindow::LoadSettingsIntoWindow()
{
    settingsFile_ = std::make_unique<SettingsFile>(
        SettingsFile{SettingsFilePath(ProgramFilePath()), textFiles_, prompts_, codePages_});
    const MainWindowState state = LoadSettings(*settingsFile_, settings_, logBackground_);

    ::SetWindowPos(window_, nullptr, state.left, state.top, state.width, state.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    if (state.logViewBackground)
        SetLogBackground(*state.logViewBackground);
    colorDialogColour_ = state.colorDialogColor;
    frame_.SetAlpha(state.alpha, state.alphaBlending);
    model_.SetTranslationChecked(state.translationChecked);
    model_.SetAlwaysOnTopChecked(state.alwaysOnTopChecked);
    if (state.fontToApply)
        ApplyLogFont(MakeFont(*state.fontToApply, frame_.Dpi()));
    if (state.stayOnTop)
        SetTopMost(true);
}

void MainWindow::SaveSettingsFromWindow()
{
    if (!settingsFile_)
        return;
    MainWindowState state;
    // A minimised or maximised window keeps its normal bounds, so that the
    // next start does not open far off the screen.
    RECT bounds;
    ::GetWindowRect(window_, &bounds);
    if (::IsIconic(window_) || ::IsZoomed(window_)) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (::GetWindowPlacement(window_, &placement))
            bounds = placement.rcNormalPosition;
    }
    state.top = bounds.top;
    state.left = bounds.left;
    state.height = bounds.bottom - bounds.top;
    state.width = bounds.right - bounds.left;
    state.alpha = frame_.Alpha();
    state.alphaBlending = frame_.AlphaBlending();
    state.translationChecked = model_.Translation().checked;
    state.alwaysOnTopChecked = model_.AlwaysOnTopChecked();
    state.colorDialogColor = colorDialogColour_;
    state.logViewFont = DescribeFont(logFont_, frame_.Dpi());
    SaveSettings(*settingsFile_, GlobalSettingsToSave(), state);
}

WindowAlpha MainWindow::MainWindowAlpha() const
{
    return WindowAlpha{frame_.Alpha(), frame_.AlphaBlending()};
}

void MainWindow::SetMainWindowAlpha(WindowAlpha alpha)
{
    frame_.SetAlpha(alpha.alpha, alpha.blending);
    DrawStrip();
}

void MainWindow::ChangeLogBackground()
{
    // ColorDialog1: opens on its own colour, keeps the confirmed one.
    static COLORREF customColours[16] = {};
    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = ::GetActiveWindow() ? ::GetActiveWindow() : window_;
    dialog.rgbResult = ToColorRef(colorDialogColour_, ::GetSysColor(COLOR_WINDOW));
    dialog.lpCustColors = customColours;
    dialog.Flags = CC_RGBINIT;
    if (!::ChooseColorW(&dialog))
        return;
    colorDialogColour_ = static_cast<Color>(dialog.rgbResult);
    SetLogBackground(colorDialogColour_);
}

// Moved to a monitor of another dpi: the size Windows suggests, and the same
// font in points.
void MainWindow::OnDpiChanged(int dpi, const RECT& suggested)
{
    if (dpi <= 0 || dpi == frame_.Dpi())
        return;
    const FontDescription font = DescribeFont(logFont_, frame_.Dpi());
    frame_.SetDpi(dpi);
    ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyLogFont(MakeFont(font, frame_.Dpi()));
}

} // namespace kx::win32
