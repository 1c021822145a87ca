#include "app/TFilmDucker.h"

#include <algorithm>
#include <cmath>

namespace parlino {
namespace {
constexpr size_t KnownLevels = 64;
// A line's planned start moves this much before it is planned anew.
constexpr int64_t PlannedSlackMs = 50;
// Players round a volume they are given (to a step of their own scale, or
// to a float), so a level read back within 2 % of one sent is that one; a
// change by the user is larger than that.
bool Same(double a, double b) { return std::abs(a - b) <= std::max(0.002, 0.02 * std::max(std::abs(a), std::abs(b))); }
} // namespace

void TFilmDucker::Configure(bool on, double db) {
    FOn = on;
    FDb = std::clamp(db, MinDb, MaxDb);
}

// A level the ducker asked for that the player may still be reporting (it
// has not yet reported a later one), the last one it asked for, or the
// user's own level. A ramp passes through many levels, and the user may
// well choose one of them later: those the player has gone past are not ours.
bool TFilmDucker::Ours(double volume) {
    const auto found = std::find_if(FInFlight.begin(), FInFlight.end(), [&](double sent) { return Same(sent, volume); });
    if (found != FInFlight.end()) {
        FInFlight.erase(FInFlight.begin(), found); // the player has gone past the ones before
        return true;
    }
    return (FUserLevel && Same(*FUserLevel, volume)) || (FLastSent && Same(*FLastSent, volume));
}

void TFilmDucker::Send(IPlayerConnection& player, double volume, uint32_t now) {
    if (FLastSent && std::abs(*FLastSent - volume) <= 1e-9 * std::max(1.0, volume)) return;
    if (!player.SetFilmVolume(volume)) return Refuse();
    FLastSent = volume;
    FInFlight.push_back(volume);
    if (FInFlight.size() > KnownLevels) FInFlight.pop_front();
    if (!FUnansweredSince) FUnansweredSince = now;
}

void TFilmDucker::Refuse() {
    if (FRefused) return;
    FRefused = true;
    FNote = "This player does not let Parlino set its volume: the film's sound is not lowered while speaking.";
}

void TFilmDucker::Update(IPlayerConnection& player, std::optional<int64_t> speechInMs) {
    if (!FOn) return Restore(player);
    if (FRefused) return;
    const uint32_t now = FTicks.GetTickCount();
    const std::optional<double> reported = player.FilmVolume();
    if (!reported) {
        // A player that says no volume at all cannot be lowered; one that
        // has only just been found says it within a tick or two. The
        // controller calls only while the last tick reached the player.
        if (!FUnansweredSince) FUnansweredSince = now;
        if (now - *FUnansweredSince >= RefusedAfterMs) Refuse();
        return;
    }
    if (!FUserLevel || !Ours(*reported)) {
        // The user's own level: adopted as it stands when nothing was
        // lowered yet, or worked back from the dip that was applied.
        const double applied = FLastSent && FUserLevel && *FUserLevel > 0 ? *FLastSent / *FUserLevel : 1.0;
            FUserLevel = applied > 0 ? *reported / applied : *reported;
        FLastSent = *reported;
        FInFlight.clear();
        FUnansweredSince.reset();
    } else if (FLastSent && Same(*reported, *FLastSent)) {
        FUnansweredSince.reset();
    } else if (FUnansweredSince && now - *FUnansweredSince >= RefusedAfterMs) {
        return Refuse();
    }

    // The voice speaking is an open stretch; a line due soon is planned as
    // a moment, so that the film starts down in time and stays down between
    // lines that follow closely.
    const int64_t at = now;
    const bool speaking = speechInMs && *speechInMs == 0;
    if (speaking && !FSpeaking) FEnvelope.AddSpeech(at);
    if (!speaking && FSpeaking) FEnvelope.EndSpeech(at);
    FSpeaking = speaking;
    if (speechInMs && *speechInMs > 0) {
        const int64_t start = at + *speechInMs;
        if (!FPlannedStart || std::abs(*FPlannedStart - start) > PlannedSlackMs) {
            FEnvelope.AddSpeech(start, start);
            FPlannedStart = start;
        }
    }
    FEnvelope.ForgetBefore(at);
    Send(player, *FUserLevel * DuckGain(FEnvelope.DepthAt(at), FDb), now);
}

void TFilmDucker::Restore(IPlayerConnection& player) {
    if (FUserLevel && FLastSent && *FLastSent != *FUserLevel) player.SetFilmVolume(*FUserLevel);
    FUserLevel.reset();
    FLastSent.reset();
    FUnansweredSince.reset();
    FInFlight.clear();
    FEnvelope.Clear();
    FSpeaking = false;
    FPlannedStart.reset();
    FRefused = false;
}

} // namespace parlino
