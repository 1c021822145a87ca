#pragma once
// The tick counter of a render: time moves only when the renderer says so,
// so the manual clock on it reads track time that has been simulated, not
// lived through.

#include "platform/ITickCounter.h"

#include <cstdint>

namespace parlino {

class TSimulatedTicks final : public ITickCounter {
public:
    explicit TSimulatedTicks(uint32_t start = 0) : FNow(start) {}

    uint32_t GetTickCount() const override { return FNow; }
    // Wraps at 2^32 like the real counter.
    void Advance(uint32_t ms) { FNow += ms; }

private:
    uint32_t FNow;
};

} // namespace parlino
