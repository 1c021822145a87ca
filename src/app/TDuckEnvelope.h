#pragma once
// How far the film's own sound is lowered while the voice speaks: down over
// AttackMs before the voice starts, held while it speaks and for a while
// after, and back up by ReleaseMs after it ends. Lines closer together than
// the attack and release keep the film lowered between them, so the film
// does not pump. The same rule serves the live player and the mixed export.

#include <cstdint>
#include <limits>
#include <vector>

namespace parlino {

struct TDuckTiming {
    int64_t AttackMs = 100;   // from the film's level down to the lowered level
    int64_t HoldMs = 300;     // lowered after the voice ends
    int64_t ReleaseMs = 600;  // from the voice's end back to the film's level
};

class TDuckEnvelope {
public:
    static constexpr int64_t Open = std::numeric_limits<int64_t>::max();

    explicit TDuckEnvelope(TDuckTiming timing = {}) : FTiming(timing) {}

    // A stretch of speech, in any order; endMs Open while its end is unknown.
    void AddSpeech(int64_t startMs, int64_t endMs = Open);
    // Ends the open stretch that started at or before endMs.
    void EndSpeech(int64_t endMs);
    // Forgets stretches whose release ended before ms.
    void ForgetBefore(int64_t ms);
    void Clear();

    // 0: the film's own level; 1: fully lowered. Linear in between, so that
    // a gain in decibels follows a straight line.
    double DepthAt(int64_t ms) const;
    // The first moment at or after ms where the depth changes, or Open.
    int64_t NextChangeAfter(int64_t ms) const;
    bool Empty() const { return FSpans.empty(); }

private:
    struct TSpan { int64_t Start, End; };
    // The stretches as given, and the same merged where the film stays
    // lowered between them; the merged ones are far enough apart that only
    // one of them shapes any moment.
    const std::vector<TSpan>& Merged() const;

    TDuckTiming FTiming;
    std::vector<TSpan> FSpans;
    mutable std::vector<TSpan> FMerged;
    mutable bool FMergedValid = true;
};

// The factor of the film's amplitude at a depth, for a full dip of `db`.
double DuckGain(double depth, double db);

} // namespace parlino
