#include "players/TPositionEstimate.h"

#include <algorithm>
#include <limits>

namespace parlino {

void TPositionEstimate::Report(int64_t positionMs, uint32_t seenAt) {
    if (FValue == positionMs && FRunning) return; // a repeat: keep running from its first sighting
    FValue = positionMs;
    FSince = seenAt;
}

void TPositionEstimate::SetRunning(bool running) {
    if (running && !FRunning) FSince = FTicks.GetTickCount(); // the film starts from where it stood
    FRunning = running;
}

std::optional<int32_t> TPositionEstimate::Position() const {
    if (!FValue) return std::nullopt;
    int64_t value = *FValue;
    if (FRunning) value += std::min<uint32_t>(FTicks.GetTickCount() - FSince, MaxAheadMs);
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void TPositionEstimate::Clear() {
    FValue.reset();
    FRunning = false;
}

} // namespace parlino
