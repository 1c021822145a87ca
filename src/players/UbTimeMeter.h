#pragma once
#include "platform/ITickCounter.h"

#include <cstdint>

namespace parlino {

// A stopwatch on the 32-bit tick counter. All differences are taken modulo
// 2^32, so a wrap of the counter between two readings does no harm.
class TUbTimeMeter {
public:
    explicit TUbTimeMeter(const ITickCounter& ticks);

    void Reset();            // counting starts again from Offset
    int32_t Elapsed() const; // ms since Reset, less the time paused, plus Offset
    void Pause();
    void Resume();

    uint32_t StartTick = 0;
    uint32_t PauseTick = 0;
    uint32_t PausedTotal = 0;
    int32_t Offset = 0;
    bool Paused = false;

private:
    const ITickCounter& FTicks;
};

} // namespace parlino
