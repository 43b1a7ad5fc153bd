#pragma once
// The advanced settings dialog's rules: what its controls show when it opens,
// what the transparency track bar does to the main window while it is open,
// and what OK and Cancel take over. The Win32 window (settings/win32) only
// copies controls to and from AdvancedSettingsControls and forwards events.
//
// Transparency: track bar position p gives the main window the alpha value
// 255 - p; position 0 ("OFF") is opaque with blending off.
//
// Opening never makes the main window invisible: a main window whose blending
// is off is opaque, whatever its alpha value (a stored MainABV of 0 starts it
// so), and the track bar then opens at 0 ("OFF") rather than at 255 - alpha,
// which for alpha 0 would switch blending on at full transparency. Cancel
// likewise puts blending back off when it was off at opening.
#include "settings/app_settings.h"
#include "settings/value_encodings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// --- Character sets ----------------------------------------------------------

struct CharacterSet {
    std::u16string_view name;
    std::int32_t codePage;
};

inline constexpr int kCharacterSetCount = 12;
// The list's entries, in list order.
const std::array<CharacterSet, kCharacterSetCount>& CharacterSets();
// The list position of `codePage`; nullopt when it is none of the twelve.
std::optional<int> CharacterSetIndex(std::int32_t codePage);

// --- Transparency ------------------------------------------------------------

inline constexpr int kTransparencyMax = 255;

struct WindowAlpha {
    std::uint8_t alpha = 255;   // layered-window alpha, 255 = opaque
    bool blending = false;      // layered-window alpha applied at all

    bool operator==(const WindowAlpha&) const = default;
};

// What the track bar at `position` (0 to 255) makes of the main window.
WindowAlpha AlphaForTransparency(int position);
// Where the track bar stands for the main window as it is now.
int TransparencyForAlpha(WindowAlpha window);
// The percentage label: position * 100 / 255, rounded down, and "%".
std::u16string TransparencyText(int position);

// --- Letter count ------------------------------------------------------------

// True when a typed character may reach the letter count box: "0" to "9",
// backspace (8), carriage return (13) and code 25.
bool LetterCountKeyAccepted(char16_t typed);
// The box's text as a whole number by the settings file's rule (ParseInteger):
// blanks in front, one sign, decimal digits that fit a signed 32-bit integer
// or "$", "x", "0x" and hexadecimal digits; nothing else. Empty text is not a
// number.
std::optional<std::int32_t> ParseLetterCount(std::u16string_view text);
// "'<text>' is not a valid integer value"
std::u16string InvalidIntegerMessage(std::u16string_view text);

// --- Subtitle letters --------------------------------------------------------

// The outline width box's text as a width: one or more decimal digits giving
// 0 to 8; nothing else.
std::optional<std::int32_t> ParseOutlineWidth(std::u16string_view text);

// --- The dialog --------------------------------------------------------------

// What the main window lends the dialog.
class AdvancedSettingsHost {
public:
    virtual ~AdvancedSettingsHost() = default;
    virtual WindowAlpha MainWindowAlpha() const = 0;
    virtual void SetMainWindowAlpha(WindowAlpha alpha) = 0;
    // Runs the colour dialog on its present colour; a confirmed colour becomes
    // the dialog's colour and the log view's background at once.
    virtual void ChangeLogBackground() = 0;
    // The subtitle strip's look changed (outline, shadow): drawn again.
    virtual void SubtitleLookChanged() {}
};

// The controls' state. The window copies it to its controls after Open and
// from them before Ok.
struct AdvancedSettingsControls {
    bool newLineBetweenTexts = false;      // CheckBox1 (Ancete)
    bool updateOriginalText = false;       // CheckBox2 (uot)
    std::optional<int> characterSet;       // CSComboBox selection; nullopt: none
    int transparency = 0;                  // TrackBar1 position
    std::u16string transparencyText = u"0%";   // Tvalue
    bool floodDetection = false;           // CheckBox3 (FloodChk)
    std::u16string letterCount;            // Edit1 (Flood)
    Color outlineColor = 0x000000;         // the swatch beside "Outline colour.."
    std::u16string outlineWidth = u"2";    // the outline width box
    bool shadow = false;                   // "Shadow"
    bool history = true;                   // "Keep each game's history" (History)

    bool operator==(const AdvancedSettingsControls&) const = default;
};

struct OkResult {
    bool close = false;
    // Set when the letter count is not a whole number: the message for the
    // application error box (the dialog stays open).
    std::optional<std::u16string> error;
};

class AdvancedSettings {
public:
    AdvancedSettings(AppSettings& settings, AdvancedSettingsHost& host);

    // FormShow: sets every control from the settings and the main window.
    void Open();
    // TrackBar1Change: the track bar has moved to `position` (0 to 255).
    void TrackBarChanged(int position);
    // Button2Click. Reads `Controls()` as the window left them.
    OkResult Ok();
    // Button1Click: the transparency and the subtitle look as they were at
    // opening.
    void Cancel();

    // A colour confirmed in the colour dialog.
    void OutlineColorChosen(Color color);
    // The outline width box's text changed: a width of 0 to 8 applies at once,
    // other text waits for more typing.
    void OutlineWidthTyped(std::u16string_view text);
    // The box lost the focus: it shows the width in force again.
    void OutlineWidthLeft();
    void ShadowClicked(bool on);

    AdvancedSettingsControls& Controls() { return controls_; }
    const AdvancedSettingsControls& Controls() const { return controls_; }
    std::uint8_t SavedAlpha() const { return savedAlpha_; }

private:
    AppSettings& settings_;
    AdvancedSettingsHost& host_;
    AdvancedSettingsControls controls_;
    std::uint8_t savedAlpha_ = 255;
    bool savedBlending_ = false;
    SubtitleLook savedLook_;

    void SetSubtitleLook(const SubtitleLook& look);
};

} // namespace kx
