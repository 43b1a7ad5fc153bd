#pragma once
// The "Shortcut Manager" tab's rules: the list of games kept in
// AppSettings.ShortcutTable, its editors, New/Delete/Apply and starting a game
// under AGTH. The Win32 page (agth/win32) mirrors the list and editors into its
// controls and forwards their events.
#include "agth/agth_helper.h"
#include "platform/code_page_port.h"
#include "platform/file_probe_port.h"
#include "platform/process_port.h"
#include "platform/prompts_port.h"
#include "settings/app_settings.h"
#include "capture/capture_pause.h"

#include <optional>
#include <string>
#include <vector>

namespace kx {

// One game as the list holds it.
struct ShortcutItem {
    std::u16string name;
    std::u16string path;
    std::u16string options;
    std::u16string delay;    // decimal seconds
    std::u16string notes;
    std::u16string method;   // "1" Ascii, "2" Seq Hex, "3" Rev Hex
    int image = -1;          // index into the small-icon list, -1 none

    bool operator==(const ShortcutItem&) const = default;
};

struct ShortcutEditors {
    std::u16string gameName;
    std::u16string appPath;
    std::u16string option;
    int delayIndex = 2;      // into kShortcutDelays
    std::u16string notes;
    int method = 1;          // checked method button

    bool operator==(const ShortcutEditors&) const = default;
};

inline constexpr int kShortcutDelayCount = 7;
inline constexpr const char16_t* kShortcutDelays[kShortcutDelayCount] = {u"0",  u"5",  u"10", u"15",
                                                                         u"20", u"25", u"30"};
inline constexpr char16_t kNewGameName[] = u"New Game";
inline constexpr char16_t kSelectItemToApply[] = u"Select item to apply first.";
inline constexpr char16_t kInputGameName[] = u"Input game name";
inline constexpr char16_t kSelectAppPath[] = u"Select application path";
inline constexpr char16_t kSelectAgthToRun[] = u"Select agth.exe to run first.";
inline constexpr char16_t kCheckAppPath[] = u"Check the application path.";

struct ShortcutPorts {
    PromptsPort& prompts;
    CodePagePort& codePages;
    FileProbePort& files;
    ProgramLaunchPort& launcher;
};

// The text after the last "\" (the whole text when there is none).
std::u16string FileNamePart(std::u16string_view path);

class ShortcutManager {
public:
    ShortcutManager(AppSettings& settings, AgthHelperHost& methodHost, CapturePauseHost& pauseHost,
                    ShortcutPorts ports);

    // Table to list; the first entry, if any, is selected (editors filled).
    void Load();
    // List to table: rows 0.. in list order, the rest empty.
    void Save();

    // Selection change to `index` (nullopt: nothing selected). Fills the
    // editors from the newly selected entry; throws AppError "'x' is not a
    // valid integer value" on a delay or method that is not a decimal number
    // ("$A" is not), the
    // editors filled before it keeping their new values.
    void Select(std::optional<int> index);
    // Adds a "New Game" entry and selects it; false (nothing added) when the
    // list already holds as many entries as the table has rows. The caller
    // opens the in-place editor on the returned entry.
    bool New();
    // The in-place edit of entry `index` ended with `name`.
    void Renamed(int index, const std::u16string& name);
    // "App path" confirmed.
    void AppPathChosen(const std::u16string& path);
    // "Apply": true when the entry was written (its image is then the next
    // new image, which the caller adds).
    bool Apply();
    // Removes the selected entry (the caller has asked for confirmation);
    // selects the entry at the same place, or the last one.
    void DeleteSelected();
    // Focus left the option editor.
    void OptionExit();
    // "Run" / a double-click: true when AGTH was started and the window closes.
    // `agthPathBox` is the helper's AGTH path box text.
    bool Run(const std::u16string& agthPathBox);

    const std::vector<ShortcutItem>& Items() const { return items_; }
    std::optional<int> Selected() const { return selected_; }
    ShortcutEditors& Editors() { return editors_; }
    const ShortcutEditors& Editors() const { return editors_; }
    // How many small images have been handed out (one per loaded entry and
    // one per "Apply").
    int ImageCount() const { return imageCount_; }

private:
    void FillEditors(const ShortcutItem& item);

    AppSettings& settings_;
    AgthHelperHost& methodHost_;
    CapturePauseHost& pauseHost_;
    ShortcutPorts ports_;
    std::vector<ShortcutItem> items_;
    std::optional<int> selected_;
    ShortcutEditors editors_;
    int imageCount_ = 0;
};

} // namespace kx
