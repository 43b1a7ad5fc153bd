#pragma once
// The AGTH command-line rules, the process list's filter and order, and the
// attach-option history. Pure functions of text and numbers; the helper window
// (agth/win32) and the shortcut manager call them.
#include "platform/code_page_port.h"
#include "platform/process_port.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// --- Process list ------------------------------------------------------------

// One row of the process grid: the identifier as unsigned decimal text.
struct ProcessRow {
    std::string processId;
    std::string exeName;

    bool operator==(const ProcessRow&) const = default;
};

// False for names that hold "hook" or "clubbox.exe" once A to Z are folded to
// lower case.
bool ListsProcessName(std::string_view exeName);
// The grid's rows for the processes in snapshot order: the first one reported
// always kept, the others filtered by ListsProcessName, the kept ones in
// reverse order (the last reported first).
std::vector<ProcessRow> ProcessListRows(const std::vector<ProcessEntry>& reported);

// --- Command lines -----------------------------------------------------------

// Appends " /C" when the text holds no "/c", then " /L" when it holds neither
// "/l" nor "/r" (case-insensitive substring tests).
std::string ApplyDefaultAgthSwitches(std::string options);
// The get-text method after the hook options: 1 with "/hh" becomes 3; then 2
// or 3 becomes 1 when "/ha", "/hb" or "/hw" is present (case-insensitive).
int AdjustMethodForHookOptions(int method, std::string_view options);
// When the text holds "/p" in any case: every "/p", then every "/P" deleted
// (two plain passes); what follows them stays.
std::string RemoveProcessSwitch(std::string options);
// "/P" + processId + " " + options.
std::string BuildAttachParameters(std::string_view processId, std::string_view options);
// A game started under AGTH: the options through code page 949 and the
// default switches, widened with the system code page, a blank, and the game
// path as stored (unquoted).
std::u16string BuildRunParameters(CodePagePort& codePages, std::u16string_view options,
                                  std::u16string_view gamePath);
// The text up to and including the last "\"; the whole text when it has none.
std::u16string DirectoryPart(std::u16string_view path);
// The working directory a launch uses: DirectoryPart, or empty (the program's
// own) when the path holds no "\" and so names no folder.
std::u16string LaunchDirectory(std::u16string_view path);

// --- Option history ----------------------------------------------------------

inline constexpr int kOptionHistorySlots = 10;

// True when nothing but blanks and control characters (codes up to 32) is left.
bool IsBlankText(std::string_view text);
bool IsBlankText(std::u16string_view text);
// The stored history split at ",", pieces that are blank once trimmed
// dropped, the others kept untrimmed, in stored order.
std::vector<std::string> LoadOptionHistory(std::string_view stored);
// Focus left the box holding `text`: a non-blank text moves (or goes) to the
// top, equal items (case-sensitive) removed; beyond ten items the eleventh
// drops. Returns true when the box should now show item 0.
bool UpdateOptionHistory(std::vector<std::string>& items, const std::string& text);
// Ten slots joined by "," (nine commas), empty where the list has no item.
std::string SaveOptionHistory(const std::vector<std::string>& items);

} // namespace kx
