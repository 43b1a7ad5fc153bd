#pragma once
// The AGTH helper window's rules for its path, the "Attach process" tab, the
// get-text choice and the start-up switch. The Win32 window (agth/win32) copies
// its controls to and from AgthHelperControls and forwards their events.
#include "agth/agth_rules.h"
#include "platform/code_page_port.h"
#include "platform/process_port.h"
#include "platform/prompts_port.h"
#include "settings/app_settings.h"

#include <optional>
#include <string>
#include <vector>

namespace kx {

// What the main window lends the helper.
class AgthHelperHost {
public:
    virtual ~AgthHelperHost() = default;
    virtual int GetTextMethod() const = 0;
    // Sets the method and the check mark of its menu entry.
    virtual void SetGetTextMethod(int method) = 0;
    // A game is about to start from the shortcut of this name.
    virtual void GameStarting(const std::u16string& /*name*/) {}
};

struct AgthHelperControls {
    std::u16string agthPath;                 // AgthPathBox
    std::vector<ProcessRow> processes;       // the grid's process rows
    std::optional<int> currentRow;           // index into processes
    std::string optionText;                  // OptionBox's text (system code page)
    std::vector<std::string> optionHistory;  // OptionBox's list
    int getTextChoice = 1;                   // 1 Auto(Ascii), 2 Seq Hex, 3 Rev Hex
    bool showOnStartup = true;               // CheckBox1

    bool operator==(const AgthHelperControls&) const = default;
};

struct AgthHelperPorts {
    ProcessSnapshotPort& processes;
    ProgramLaunchPort& launcher;
    PromptsPort& prompts;
    CodePagePort& codePages;
};

inline constexpr char16_t kNoAgthPathMessage[] = u"Select agth.exe to attach first.";

class AgthHelper {
public:
    AgthHelper(AppSettings& settings, AgthHelperHost& host, AgthHelperPorts ports);

    // The window has been created (program start).
    void Created();
    // Each opening.
    void Open();
    // Each closing, by any means.
    void Closing();

    void RefreshProcessList();
    // "Browse.." confirmed.
    void AgthPathChosen(const std::u16string& path);
    // Focus left OptionBox.
    void OptionBoxExit();
    void GetTextChoiceClicked(int method);
    void ShowOnStartupClicked(bool checked);
    // "Attach", a double-click on the grid (withoutOptions false) and
    // "@Attach" (true). Returns true when AGTH was launched and the window
    // closes.
    bool AttachAgth(bool withoutOptions);

    AgthHelperControls& Controls() { return controls_; }
    const AgthHelperControls& Controls() const { return controls_; }

private:
    AppSettings& settings_;
    AgthHelperHost& host_;
    AgthHelperPorts ports_;
    AgthHelperControls controls_;
};

} // namespace kx
