#pragma once
// The capture pause that follows a game launch.

namespace kx {

// What the capture pause needs of the main window.
class CapturePauseHost {
public:
    virtual ~CapturePauseHost() = default;
    virtual void SetMonitoring(bool on) = 0;
    // Arms the one-shot timer (restarting any wait in progress), or stops it.
    virtual void StartTimer(unsigned milliseconds) = 0;
    virtual void StopTimer() = 0;
};

// Switches capture off for `seconds` after a game launch (0: no pause, and any
// pause in progress ends at once).
void StartCapturePause(CapturePauseHost& host, int seconds);
// The timer's handler: the pause is over.
void TransTimerTimer(CapturePauseHost& host);

} // namespace kx
