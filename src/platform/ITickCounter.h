#pragma once
#include <cstdint>

namespace parlino {

// A monotonic millisecond counter that wraps at 2^32, like GetTickCount.
class ITickCounter {
public:
    virtual ~ITickCounter() = default;
    virtual uint32_t GetTickCount() const = 0;
};

} // namespace parlino
