#include "app/TFilmDucker.h"

#include <algorithm>
#include <cmath>

namespace parlino {
namespace {
constexpr size_t KnownLevels = 64;
// A line's planned start moves this much before it is planned anew.
constexpr int64_t PlannedSlackMs = 50;
bool Same(double a, double b) { return std::abs(a - b) <= 1e-6 * std::max({1.0, std::abs(a), std::abs(b)}); }
} // namespace

void TFilmDucker::Configure(bool on, double db) {
    FOn = on;
    FDb = std::clamp(db, MinDb, MaxDb);
}

bool TFilmDucker::Ours(double volume) const {
    return std::any_of(FKnown.begin(), FKnown.end(), [&](double known) { return Same(known, volume); });
}

void TFilmDucker::Send(IPlayerConnection& player, double volume, uint32_t now) {
    if (FLastSent && Same(*FLastSent, volume)) return;
    if (!player.SetFilmVolume(volume)) return Refuse();
    FLastSent = volume;
    FKnown.push_back(volume);
    if (FKnown.size() > KnownLevels) FKnown.pop_front();
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
        // has only just been found says it within a tick or two.
        if (!player.IsConnected()) return;
        if (!FUnansweredSince) FUnansweredSince = now;
        if (now - *FUnansweredSince >= RefusedAfterMs) Refuse();
        return;
    }
    if (!FUserLevel || !Ours(*reported)) {
        // The user's own level: adopted as it stands when nothing was
        // lowered yet, or worked back from the dip that was applied.
        const double applied = FLastSent && FUserLevel && *FUserLevel > 0 ? *FLastSent / *FUserLevel : 1.0;
        FUserLevel = applied > 0 ? *reported / applied : *reported;
        FKnown.push_back(*reported);
        FLastSent = *reported;
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
    if (FUserLevel && FLastSent && !Same(*FLastSent, *FUserLevel)) player.SetFilmVolume(*FUserLevel);
    FUserLevel.reset();
    FLastSent.reset();
    FUnansweredSince.reset();
    FKnown.clear();
    FEnvelope.Clear();
    FSpeaking = false;
    FPlannedStart.reset();
    FRefused = false;
}

} // namespace parlino
