#pragma once
#include "platform/ITickCounter.h"

namespace parlino {

// CLOCK_MONOTONIC in milliseconds, truncated to 32 bits so that it wraps
// after 49.7 days exactly as GetTickCount does.
class TMonotonicTickCounter final : public ITickCounter {
public:
    uint32_t GetTickCount() const override;
};

} // namespace parlino
