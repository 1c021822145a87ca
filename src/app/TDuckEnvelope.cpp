#include "app/TDuckEnvelope.h"

#include <algorithm>
#include <cmath>

namespace parlino {

void TDuckEnvelope::AddSpeech(int64_t startMs, int64_t endMs) {
    FSpans.push_back({startMs, std::max(startMs, endMs)});
    Merge();
}

void TDuckEnvelope::EndSpeech(int64_t endMs) {
    for (auto& span : FSpans)
        if (span.End == Open && span.Start <= endMs) span.End = endMs;
    Merge();
}

void TDuckEnvelope::ForgetBefore(int64_t ms) {
    std::erase_if(FSpans, [&](const TSpan& s) { return s.End != Open && s.End + FTiming.ReleaseMs < ms; });
}

// Two stretches whose ramps would meet are one: the film stays lowered from
// the first's start to the last's end.
void TDuckEnvelope::Merge() {
    std::sort(FSpans.begin(), FSpans.end(), [](const TSpan& a, const TSpan& b) { return a.Start < b.Start; });
    std::vector<TSpan> merged;
    for (const auto& span : FSpans) {
        if (!merged.empty()) {
            auto& last = merged.back();
            const bool meets = last.End == Open ||
                               span.Start - FTiming.AttackMs <= last.End + FTiming.ReleaseMs;
            if (meets) {
                last.End = (last.End == Open || span.End == Open) ? Open : std::max(last.End, span.End);
                continue;
            }
        }
        merged.push_back(span);
    }
    FSpans = std::move(merged);
}

double TDuckEnvelope::DepthAt(int64_t ms) const {
    const int64_t attack = std::max<int64_t>(1, FTiming.AttackMs);
    const int64_t hold = std::min(FTiming.HoldMs, FTiming.ReleaseMs);
    const int64_t fall = std::max<int64_t>(1, FTiming.ReleaseMs - hold);
    double depth = 0;
    for (const auto& span : FSpans) {
        if (ms < span.Start - attack) break;
        double d;
        if (ms < span.Start)
            d = double(ms - (span.Start - attack)) / double(attack);
        else if (span.End == Open || ms <= span.End + hold)
            d = 1;
        else if (ms < span.End + hold + fall)
            d = 1 - double(ms - span.End - hold) / double(fall);
        else
            d = 0;
        depth = std::max(depth, d);
    }
    return std::clamp(depth, 0.0, 1.0);
}

int64_t TDuckEnvelope::NextChangeAfter(int64_t ms) const {
    const int64_t hold = std::min(FTiming.HoldMs, FTiming.ReleaseMs);
    for (const auto& span : FSpans) {
        if (ms < span.Start) return std::max(ms, span.Start - FTiming.AttackMs);
        if (span.End == Open) return Open;
        if (ms < span.End + FTiming.ReleaseMs) return std::max(ms, span.End + hold);
    }
    return Open;
}

double DuckGain(double depth, double db) { return std::pow(10.0, -db * std::clamp(depth, 0.0, 1.0) / 20.0); }

} // namespace parlino
