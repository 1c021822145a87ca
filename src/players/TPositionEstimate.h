#pragma once
// The film position between two reports of a player. Players report their
// position now and then (every 50 to 300 ms) and the follower's tick reads it
// at other moments; while the film plays the estimate runs on with the wall
// clock from the moment a new value was first seen, so a tick never works
// with a position that is a report old. A player that repeats an old value
// between its own updates does not pull the estimate back, and the estimate
// never runs more than MaxAheadMs past the last value, so a player that hangs
// while playing stops the estimate soon.

#include "platform/ITickCounter.h"

#include <cstdint>
#include <optional>

namespace parlino {

class TPositionEstimate {
public:
    static constexpr uint32_t MaxAheadMs = 1000;

    explicit TPositionEstimate(const ITickCounter& ticks) : FTicks(ticks) {}

    // A position the player reported, in milliseconds, as it stood at tick
    // `seenAt` (for an answer, the tick its question was sent: the player
    // read its position between that and the answer).
    void Report(int64_t positionMs, uint32_t seenAt);
    // Whether the film runs; the estimate moves only while it does.
    void SetRunning(bool running);
    // None before the first report (or after Clear).
    std::optional<int32_t> Position() const;
    void Clear();

private:
    const ITickCounter& FTicks;
    std::optional<int64_t> FValue;
    uint32_t FSince = 0; // tick at which FValue was first seen (or the film started)
    bool FRunning = false;
};

} // namespace parlino
