#pragma once
// KestruneEX.ini: read once while the main window is created (LoadSettings),
// written once while it is destroyed (SaveSettings).
#include "platform/code_page_port.h"
#include "platform/prompts_port.h"
#include "platform/text_file_port.h"
#include "settings/app_settings.h"
#include "settings/ini_file.h"
#include "settings/value_encodings.h"
#include "settings/window_state.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

inline constexpr std::string_view kSettingsFileName = "KestruneEX.ini";

// "KestruneEX.ini" in the folder of `exePath` (everything up to and including
// its last "\" or ":"; nothing when it has neither).
std::string SettingsFilePath(std::string_view exePath);

// --- The rules on a file already in memory ---------------------------------

// Fills `settings` from `file` (each key's default where it is missing or does
// not convert) and returns what to apply to the main window.
// `presentLogViewBackground` is the log view's colour at this moment; the
// colour dialog gets it when TBgColor is blank or unreadable.
MainWindowState ReadSettings(const IniFile& file, AppSettings& settings, Color presentLogViewBackground);

// Stores every key of `settings` and `window` in `file`, in the order that
// gives a new file its sections "Setting", "WindowsPos", "WindowsTransparent",
// "MainMenu", "Agth", "AgthSM0" to "AgthSM99", "Filters", "Hotkeys", "Engine",
// "Glossary", "Subtitle", "Capture".
// Other lines stay as they are.
// `fileForm`, when given, turns each value (ANSI text) into the form the file
// holds its text in.
using ValueForm = std::function<std::string(std::string_view ansi)>;
void WriteSettings(IniFile& file, const AppSettings& settings, const MainWindowState& window,
                   const ValueForm& fileForm = {});

// --- The file ----------------------------------------------------------------

// Where the settings file is and what reaches it. One per run.
struct SettingsFile {
    std::string path;          // full 8-bit path, see SettingsFilePath
    TextFilePort& files;
    PromptsPort& prompts;      // the save's error box
    CodePagePort& codePages;   // widens the path for that box (ANSI code page)

    // Set by LoadSettings when the file exists but could not be read: the
    // save then leaves it alone rather than overwrite the user's shortcuts
    // with defaults.
    bool unreadableAtLoad = false;
};

// Reads the file once; a missing file gives every default. Never shows a box.
// A file saved as UTF-16 (byte-order mark FF FE or FE FF) is read through the
// ANSI code page, as the profile functions read it.
MainWindowState LoadSettings(SettingsFile& file, AppSettings& settings, Color presentLogViewBackground);

// Writes every key into the file as it is now (other lines kept) and replaces
// it in one step. On failure shows "Unable to write to <path>." once in the
// application error box and returns false; the file is then as it was. Never
// throws, so the rest of the shutdown runs either way. A UTF-16 file is edited
// as UTF-16 and stays so: every line that no key changes keeps its characters,
// those outside the ANSI code page included. (One of an odd number of bytes
// is not UTF-16 text and is left alone, which counts as a failure.)
bool SaveSettings(SettingsFile& file, const AppSettings& settings, const MainWindowState& window);

} // namespace kx
