#pragma once
#include "platform/ITickCounter.h"

#include <ctime>

namespace parlino {

// CLOCK_MONOTONIC in milliseconds, truncated to 32 bits so that it wraps
// after 49.7 days exactly as GetTickCount does.
class TMonotonicTickCounter final : public ITickCounter {
public:
    // Where the time comes from; tests put the clock near the wrap.
    using TClock = timespec (*)();
    static timespec MonotonicClock();

    explicit TMonotonicTickCounter(TClock clock = &MonotonicClock) : FClock(clock) {}
    uint32_t GetTickCount() const override;

private:
    TClock FClock;
};

} // namespace parlino
