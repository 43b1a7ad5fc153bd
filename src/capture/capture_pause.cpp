#include "capture/capture_pause.h"

namespace kx {

void StartCapturePause(CapturePauseHost& host, int seconds)
{
    if (seconds <= 0) {
        host.StopTimer();
        host.SetMonitoring(true);
        return;
    }
    host.SetMonitoring(false);
    host.StartTimer(static_cast<unsigned>(seconds) * 1000u);
}

void TransTimerTimer(CapturePauseHost& host)
{
    host.StopTimer();
    host.SetMonitoring(true);
}

} // namespace kx
