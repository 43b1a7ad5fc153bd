#include "app/main_window_model.h"

namespace kx {

int MethodForRead(int chosen, bool unicodeRead)
{
    if (unicodeRead)
        return UnicodeText;
    return chosen == UnicodeText ? Ascii : chosen;
}

void MainWindowModel::SetMonitoring(bool on)
{
    if (monitoring_ != on) {
        monitoring_ = on;
        Changed();
    }
}

bool MainWindowModel::SetGetTextMethod(int method)
{
    if (method < Ascii || method > UnicodeText)
        return false;
    method_ = method;
    Changed();
    return true;
}

void MainWindowModel::SetTranslationChecked(bool checked)
{
    translation_.checked = checked;
    Changed();
}

void MainWindowModel::ToggleTranslation()
{
    translation_.Toggle();
    Changed();
}

void MainWindowModel::SetTranslationPossible(bool possible)
{
    translation_.enabled = possible;
    Changed();
}

void MainWindowModel::SetEngine(EngineKind engine)
{
    settings_.Engine = engine;
    if (settings_.DraftEngine == engine)
        settings_.DraftEngine.reset();
    if (settings_.FallbackEngine == engine)
        settings_.FallbackEngine.reset();
    Changed();
}

bool MainWindowModel::SetDraftEngine(std::optional<EngineKind> engine)
{
    return SetOtherEngine(settings_.DraftEngine, engine);
}

bool MainWindowModel::SetFallbackEngine(std::optional<EngineKind> engine)
{
    return SetOtherEngine(settings_.FallbackEngine, engine);
}

bool MainWindowModel::SetOtherEngine(std::optional<EngineKind>& role, std::optional<EngineKind> engine)
{
    if (engine == settings_.Engine)
        return false;
    role = engine;
    Changed();
    return true;
}

void MainWindowModel::SetKeepDraft(bool keep)
{
    settings_.KeepDraft = keep ? 1 : 0;
    Changed();
}

void MainWindowModel::SetTextSource(TextSource source)
{
    settings_.Source = source;
    Changed();
}

void MainWindowModel::SetAlwaysOnTopChecked(bool checked)
{
    alwaysOnTop_ = checked;
    Changed();
}

void MainWindowModel::EnterSubtitleMode()
{
    subtitle_ = true;
    alwaysOnTop_ = true;
    settings_.uot = 1;
    clickThrough_ = settings_.ClickThroughOn();
    Changed();
}

void MainWindowModel::LeaveSubtitleMode()
{
    subtitle_ = false;
    alwaysOnTop_ = false;
    settings_.uot = 0;
    clickThrough_ = false;
    Changed();
}

bool MainWindowModel::ToggleClickThrough()
{
    if (!subtitle_)
        return false;
    settings_.ClickThrough = clickThrough_ ? 0 : 1;
    clickThrough_ = settings_.ClickThroughOn();
    Changed();
    return true;
}

ContextMenuState MainWindowModel::ContextMenu() const
{
    return {subtitle_ ? u"&Exit subtitle mode" : u"&Enter subtitle mode", subtitle_, clickThrough_};
}

void MainWindowModel::PublishFilters()
{
    filters_ = std::make_shared<const TextFilterSettings>(settings_.Filters);
    Changed();
}

void MainWindowModel::BeginClosing()
{
    closing_ = true;
    Changed();
}

CaptureSwitches MainWindowModel::Switches() const
{
    CaptureSwitches now;
    now.monitoring = monitoring_ && !closing_;
    now.method = method_;
    now.options = settings_.Sink();
    // Translation is off from the moment the engine failed, also while its
    // error box is open.
    now.translate = translation_.Active();
    now.engines = RolesOf(settings_);
    now.filters = filters_;
    now.source = settings_.Source;
    return now;
}

std::optional<unsigned> TurnThrottle::OnTurnAsked()
{
    if (timerArmed_)
        return 0u;
    const std::int64_t now = clock_.NowMs();
    if (!lastTurnMs_ || now - *lastTurnMs_ >= minGapMs_)
        return std::nullopt;
    timerArmed_ = true;
    return static_cast<unsigned>(minGapMs_ - (now - *lastTurnMs_));
}

void TurnThrottle::OnTurnRun()
{
    timerArmed_ = false;
    turnStartMs_ = clock_.NowMs();
}

void TurnThrottle::OnTurnEnd(bool viewChanged)
{
    if (viewChanged)
        lastTurnMs_ = turnStartMs_;
}

} // namespace kx
