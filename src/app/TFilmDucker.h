#pragma once
// Lowers a followed player's own volume while the voice speaks, by the
// envelope's rule, and brings it back to the user's level afterwards. The
// user may change the player's volume meanwhile: a level the player reports
// that the ducker did not ask for is the user's, and is what the film comes
// back up to. Restore must be called on every way following ends.

#include "app/TDuckEnvelope.h"
#include "platform/ITickCounter.h"
#include "players/player_conn_intf.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>

namespace parlino {

class TFilmDucker {
public:
    static constexpr double DefaultDb = 12, MinDb = 3, MaxDb = 40;
    // A volume the player does not take within this long counts as refused.
    static constexpr uint32_t RefusedAfterMs = 2000;

    explicit TFilmDucker(const ITickCounter& ticks, TDuckTiming timing = {})
        : FTicks(ticks), FEnvelope(timing) {}

    void Configure(bool on, double db);
    // Called often (every 25 ms or so) while following. `speechInMs`: 0
    // while the voice speaks, the time until it is due to speak when that is
    // known, none while it is silent with nothing coming.
    void Update(IPlayerConnection& player, std::optional<int64_t> speechInMs);
    // Puts the player back to the user's level and forgets it.
    void Restore(IPlayerConnection& player);
    // Once per player that will not take a volume: what the status area says.
    std::string TakeNote() { return std::exchange(FNote, {}); }

private:
    bool Ours(double volume);
    void Send(IPlayerConnection& player, double volume, uint32_t now);
    void Refuse();

    const ITickCounter& FTicks;
    TDuckEnvelope FEnvelope;
    bool FOn = false;
    double FDb = DefaultDb;
    bool FSpeaking = false;
    std::optional<int64_t> FPlannedStart;    // of the line due next, on the tick clock
    bool FRefused = false;
    std::optional<double> FUserLevel;          // the level the film comes back to
    std::optional<double> FLastSent;
    std::optional<uint32_t> FUnansweredSince;  // a sent level the player has not reported yet
    std::deque<double> FInFlight;              // levels sent that the player has not reported yet
    std::string FNote;
};

} // namespace parlino
