#include "app/TDuckEnvelope.h"

#include <algorithm>
#include <cmath>

namespace parlino {

void TDuckEnvelope::AddSpeech(int64_t startMs, int64_t endMs) {
    const TSpan span{startMs, std::max(startMs, endMs)};
    FSpans.insert(std::upper_bound(FSpans.begin(), FSpans.end(), span,
                                   [](const TSpan& a, const TSpan& b) { return a.Start < b.Start; }),
                  span);
    FMergedValid = false;
}

void TDuckEnvelope::EndSpeech(int64_t endMs) {
    for (auto& span : FSpans)
        if (span.End == Open && span.Start <= endMs) span.End = endMs;
    FMergedValid = false;
}

void TDuckEnvelope::ForgetBefore(int64_t ms) {
    const auto gone = [&](const TSpan& s) { return s.End != Open && s.End + FTiming.ReleaseMs < ms; };
    if (std::none_of(FSpans.begin(), FSpans.end(), gone)) return;
    std::erase_if(FSpans, gone);
    FMergedValid = false;
}

void TDuckEnvelope::Clear() {
    FSpans.clear();
    FMergedValid = false;
}

// Two stretches whose ramps would meet are one: the film stays lowered from
// the first's start to the last's end.
const std::vector<TDuckEnvelope::TSpan>& TDuckEnvelope::Merged() const {
    if (FMergedValid) return FMerged;
    FMerged.clear();
    for (const auto& span : FSpans) {
        if (!FMerged.empty()) {
            auto& last = FMerged.back();
            if (last.End == Open || span.Start - FTiming.AttackMs <= last.End + FTiming.ReleaseMs) {
                last.End = (last.End == Open || span.End == Open) ? Open : std::max(last.End, span.End);
                continue;
            }
        }
        FMerged.push_back(span);
    }
    FMergedValid = true;
    return FMerged;
}

double TDuckEnvelope::DepthAt(int64_t ms) const {
    const auto& spans = Merged();
    const int64_t attack = std::max<int64_t>(1, FTiming.AttackMs);
    const int64_t hold = std::min(FTiming.HoldMs, FTiming.ReleaseMs);
    const int64_t fall = std::max<int64_t>(1, FTiming.ReleaseMs - hold);
    // The last stretch whose attack has begun.
    auto next = std::upper_bound(spans.begin(), spans.end(), ms,
                                 [&](int64_t t, const TSpan& s) { return t < s.Start - attack; });
    if (next == spans.begin()) return 0;
    const TSpan& span = *std::prev(next);
    if (ms < span.Start) return double(ms - (span.Start - attack)) / double(attack);
    if (span.End == Open || ms <= span.End + hold) return 1;
    if (ms < span.End + hold + fall) return 1 - double(ms - span.End - hold) / double(fall);
    return 0;
}

int64_t TDuckEnvelope::NextChangeAfter(int64_t ms) const {
    const int64_t hold = std::min(FTiming.HoldMs, FTiming.ReleaseMs);
    for (const auto& span : Merged()) {
        if (ms < span.Start) return std::max(ms, span.Start - FTiming.AttackMs);
        if (span.End == Open) return Open;
        if (ms < span.End + FTiming.ReleaseMs) return std::max(ms, span.End + hold);
    }
    return Open;
}

double DuckGain(double depth, double db) { return std::pow(10.0, -db * std::clamp(depth, 0.0, 1.0) / 20.0); }

} // namespace parlino
