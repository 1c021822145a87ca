#include "platform/linux/TMonotonicTickCounter.h"

namespace parlino {

timespec TMonotonicTickCounter::MonotonicClock() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts;
}

uint32_t TMonotonicTickCounter::GetTickCount() const {
    const timespec ts = FClock();
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

} // namespace parlino
