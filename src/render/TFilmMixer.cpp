#include "render/TFilmMixer.h"

#include <algorithm>
#include <cmath>

namespace parlino {

namespace {
bool ByStart(const TSpeechStretch& a, const TSpeechStretch& b) { return a.StartMs < b.StartMs; }
} // namespace

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

TFilmMixer::TFilmMixer(int sampleRate, std::vector<float> weights, std::vector<TSpeechStretch> speech,
                       double duckDb)
    : FSampleRate(uint64_t(std::max(1, sampleRate))), FWeights(std::move(weights)), FEnvelope(FTiming),
      FSpeech(std::move(speech)), FDuckDb(duckDb) {
    std::sort(FSpeech.begin(), FSpeech.end(), ByStart);
}

void TFilmMixer::AddSpeech(const TSpeechStretch& stretch) {
    // After those given to the envelope already, which it holds in any order.
    FSpeech.insert(std::upper_bound(FSpeech.begin() + std::ptrdiff_t(FNextStretch), FSpeech.end(), stretch, ByStart),
                   stretch);
}

int64_t TFilmMixer::SpeechNeededBefore(size_t frames) const {
    // The gain of the last frame is read at its millisecond and the next,
    // and Follow then takes every stretch that starts up to the attack and
    // FollowAheadMs beyond.
    const uint64_t last = FFrame + std::max<size_t>(frames, 1) - 1;
    return int64_t(last * 1000 / FSampleRate) + 1 + FollowAheadMs + FTiming.AttackMs + 1;
}

void TFilmMixer::Follow(int64_t ms) {
    bool added = false;
    for (; FNextStretch < FSpeech.size() && FSpeech[FNextStretch].StartMs - FTiming.AttackMs <= ms + FollowAheadMs;
         ++FNextStretch) {
        FEnvelope.AddSpeech(FSpeech[FNextStretch].StartMs, FSpeech[FNextStretch].EndMs);
        added = true;
    }
    // A stretch given to the envelope may change what was steady.
    if (added) FSteadyUntil = FSteadyFrom;
    if (ms >= FForgotten + 1000) {
        FEnvelope.ForgetBefore(ms);
        FForgotten = ms;
    }
}

double TFilmMixer::GainAt(int64_t ms) {
    Follow(ms);
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
    // The gain of every frame, one millisecond at a time: it moves in a
    // straight line from its value at the millisecond's start to that at
    // the next.
    FGains.resize(frames);
    for (size_t i = 0; i < frames;) {
        const int64_t ms = int64_t((FFrame + i) * 1000 / FSampleRate);
        const uint64_t msStart = (uint64_t(ms) * FSampleRate + 999) / 1000;
        const uint64_t msEnd = (uint64_t(ms + 1) * FSampleRate + 999) / 1000;
        const size_t end = std::min(frames, size_t(msEnd - FFrame));
        const double g0 = GainAt(ms), g1 = GainAt(ms + 1);
        const double step = (g1 - g0) / double(msEnd - msStart);
        if (g0 == g1) {
            std::fill(FGains.begin() + std::ptrdiff_t(i), FGains.begin() + std::ptrdiff_t(end), float(g0));
            i = end;
        }
        for (; i < end; ++i) FGains[i] = float(g0 + step * double(FFrame + i - msStart));
    }
    FFrame += frames;
    const size_t channels = FWeights.size();
    if (channels == 1) return Sum<1>(film, voice, frames, out);
    if (channels == 2) return Sum<2>(film, voice, frames, out);
    if (channels == 6) return Sum<6>(film, voice, frames, out);
    Sum<0>(film, voice, frames, out);
}

// The film under its gains plus the voice by its weights, to 16 bits with
// rounding to the nearest and held at full scale. A known channel count
// lets the compiler vectorise the loop; 0 stands for any other.
template <size_t Fixed>
void TFilmMixer::Sum(const float* film, const float* voice, size_t frames, int16_t* out) const {
    const size_t channels = Fixed ? Fixed : FWeights.size();
    const float* const gains = FGains.data();
    const float* const weights = FWeights.data();
    for (size_t i = 0; i < frames; ++i) {
        const float gain = gains[i], spoken = voice[i];
        for (size_t c = 0; c < channels; ++c) {
            float sum = (film[i * channels + c] * gain + spoken * weights[c]) * 32768.0f;
            sum = std::min(std::max(sum, -32768.0f), 32767.0f);
            out[i * channels + c] = static_cast<int16_t>(static_cast<int32_t>(sum + 32768.5f) - 32768);
        }
    }
}

} // namespace parlino
