#include "render/TFilmMixer.h"

#include <algorithm>
#include <cmath>

namespace parlino {

std::vector<float> VoiceWeights(const std::vector<TChannelRole>& channels) {
    std::vector<float> weights(channels.size(), 0.0f);
    const auto has = [&](TChannelRole role) { return std::find(channels.begin(), channels.end(), role) != channels.end(); };
    const bool centre = has(TChannelRole::FrontCentre);
    const bool pair = has(TChannelRole::FrontLeft) && has(TChannelRole::FrontRight);
    for (size_t c = 0; c < channels.size(); ++c) {
        const TChannelRole role = channels[c];
        if (centre) weights[c] = role == TChannelRole::FrontCentre ? 1.0f : 0.0f;
        else if (pair) weights[c] = role == TChannelRole::FrontLeft || role == TChannelRole::FrontRight ? 1.0f : 0.0f;
        else weights[c] = 1.0f;
    }
    return weights;
}

TFilmMixer::TFilmMixer(int sampleRate, std::vector<float> weights, TDuckEnvelope envelope, double duckDb)
    : FSampleRate(uint64_t(std::max(1, sampleRate))), FWeights(std::move(weights)), FEnvelope(std::move(envelope)),
      FDuckDb(duckDb) {}

double TFilmMixer::GainAt(int64_t ms) {
    if (ms >= FSteadyFrom && ms < FSteadyUntil) return FSteadyGain;
    const double gain = FDuckDb == 0 ? 1.0 : DuckGain(FEnvelope.DepthAt(ms), FDuckDb);
    const int64_t next = FDuckDb == 0 ? TDuckEnvelope::Open : FEnvelope.NextChangeAfter(ms);
    if (next > ms + 1) {
        FSteadyFrom = ms;
        FSteadyUntil = next;
        FSteadyGain = gain;
    }
    return gain;
}

void TFilmMixer::Mix(const float* film, const float* voice, size_t frames, int16_t* out) {
    const size_t channels = FWeights.size();
    size_t i = 0;
    while (i < frames) {
        // One millisecond at a time: the gain moves in a straight line from
        // its value at the millisecond's start to that at the next.
        const int64_t ms = int64_t((FFrame + i) * 1000 / FSampleRate);
        if (ms >= FForgotten + 1000) {
            FEnvelope.ForgetBefore(ms);
            FForgotten = ms;
        }
        const uint64_t msStart = (uint64_t(ms) * FSampleRate + 999) / 1000;
        const uint64_t msEnd = (uint64_t(ms + 1) * FSampleRate + 999) / 1000;
        const size_t end = std::min(frames, size_t(msEnd - FFrame));
        const double g0 = GainAt(ms), g1 = GainAt(ms + 1);
        const double step = (g1 - g0) / double(msEnd - msStart);
        for (; i < end; ++i) {
            const float gain = float(g0 + step * double(FFrame + i - msStart));
            const float v = voice[i];
            for (size_t c = 0; c < channels; ++c) {
                const float sample = (film[i * channels + c] * gain + v * FWeights[c]) * 32768.0f;
                out[i * channels + c] = int16_t(std::lrint(std::clamp(sample, -32768.0f, 32767.0f)));
            }
        }
    }
    FFrame += frames;
}

} // namespace parlino
