#include "agth/agth_helper.h"
#include "capture/text_decoding.h"

namespace kx {

AgthHelper::AgthHelper(AppSettings& settings, AgthHelperHost& host, AgthHelperPorts ports)
    : settings_(settings), host_(host), ports_(ports)
{
}

void AgthHelper::Created()
{
    controls_.agthPath = settings_.Agthpath;
    controls_.optionHistory = LoadOptionHistory(settings_.AgthAToption);
    controls_.optionText = controls_.optionHistory.empty() ? std::string() : controls_.optionHistory.front();
}

void AgthHelper::Open()
{
    RefreshProcessList();
    Created();
    const int method = host_.GetTextMethod();
    if (method >= Ascii && method <= UnicodeText)
        controls_.getTextChoice = method;
    if (settings_.AgthATrun == 1)
        controls_.showOnStartup = true;
    else if (settings_.AgthATrun == 0)
        controls_.showOnStartup = false;
}

void AgthHelper::Closing()
{
    settings_.AgthAToption = SaveOptionHistory(controls_.optionHistory);
    settings_.Agthpath = controls_.agthPath;
}

void AgthHelper::RefreshProcessList()
{
    controls_.processes = ProcessListRows(ports_.processes.Processes());
    if (controls_.processes.empty())
        controls_.currentRow.reset();
    else
        controls_.currentRow = 0;
}

void AgthHelper::AgthPathChosen(const std::u16string& path)
{
    controls_.agthPath = path;
    settings_.Agthpath = path;
}

void AgthHelper::OptionBoxExit()
{
    if (UpdateOptionHistory(controls_.optionHistory, controls_.optionText))
        controls_.optionText = controls_.optionHistory.front();
}

void AgthHelper::GetTextChoiceClicked(int method)
{
    if (method < Ascii || method > UnicodeText)
        return;
    controls_.getTextChoice = method;
    host_.SetGetTextMethod(method);
}

void AgthHelper::ShowOnStartupClicked(bool checked)
{
    controls_.showOnStartup = checked;
    settings_.AgthATrun = checked ? 1 : 0;
}

bool AgthHelper::AttachAgth(bool withoutOptions)
{
    if (IsBlankText(controls_.agthPath)) {
        ports_.prompts.ShowError(kNoAgthPathMessage);
        return false;
    }
    // Without a process row (no snapshot) there is nothing to attach to.
    if (!controls_.currentRow || *controls_.currentRow < 0 ||
        static_cast<size_t>(*controls_.currentRow) >= controls_.processes.size())
        return false;
    std::string options = withoutOptions ? std::string() : controls_.optionText;
    const int before = host_.GetTextMethod();
    const int after = AdjustMethodForHookOptions(before, options);
    if (after != before) {
        host_.SetGetTextMethod(after);
        controls_.getTextChoice = after;
    }
    options = RemoveProcessSwitch(ApplyDefaultAgthSwitches(std::move(options)));
    const std::string& processId = controls_.processes[static_cast<size_t>(*controls_.currentRow)].processId;
    const std::string parameters = BuildAttachParameters(processId, options);
    ports_.launcher.Launch({settings_.Agthpath, ports_.codePages.ToWide(parameters, 0),
                            LaunchDirectory(settings_.Agthpath)});
    return true;
}

} // namespace kx
