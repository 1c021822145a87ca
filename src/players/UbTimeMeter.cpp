#include "players/UbTimeMeter.h"

namespace parlino {

TUbTimeMeter::TUbTimeMeter(const ITickCounter& ticks) : FTicks(ticks) { Reset(); }

void TUbTimeMeter::Reset() {
    PausedTotal = 0;
    Paused = false;
    StartTick = FTicks.GetTickCount();
}

int32_t TUbTimeMeter::Elapsed() const {
    const uint32_t now = FTicks.GetTickCount();
    uint32_t running = now - StartTick - PausedTotal;
    if (Paused) running -= now - PauseTick;
    return static_cast<int32_t>(running + static_cast<uint32_t>(Offset));
}

void TUbTimeMeter::Pause() {
    PauseTick = FTicks.GetTickCount();
    Paused = true;
}

void TUbTimeMeter::Resume() {
    PausedTotal += FTicks.GetTickCount() - PauseTick;
    Paused = false;
}

} // namespace parlino
