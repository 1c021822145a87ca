#pragma once
#include "platform/ITickCounter.h"

namespace parlino {

// The system's own millisecond counter (GetTickCount), which wraps at 2^32.
class TWinTickCounter final : public ITickCounter {
public:
    uint32_t GetTickCount() const override;
};

} // namespace parlino
