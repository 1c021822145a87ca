#pragma once
// The film's sound with the voice-over in it: the film lowered by the
// ducking envelope around the voice's speech, the voice added to the
// centre, the sum clipped to 16 bits (a sum too loud is held at full scale,
// never wrapped round).

#include "app/TDuckEnvelope.h"
#include "platform/IFilmAudio.h"

#include <cstdint>
#include <vector>

namespace parlino {

// How much of the voice goes to each channel: all of it to the centre where
// there is one, else to front left and right alike, else to every channel.
std::vector<float> VoiceWeights(const std::vector<TChannelRole>& channels);

struct TSpeechStretch {
    int64_t StartMs = 0, EndMs = 0;
};

class TFilmMixer {
public:
    // `speech` in film ms, in any order; `duckDb` the full dip (0: none).
    TFilmMixer(int sampleRate, std::vector<float> weights, std::vector<TSpeechStretch> speech, double duckDb);

    // Mixes the next `frames` frames: `film` interleaved, `voice` mono at the
    // same rate, into `out` (interleaved).
    void Mix(const float* film, const float* voice, size_t frames, int16_t* out);

    // For speech that becomes known while mixing: every stretch starting
    // before SpeechNeededBefore(frames) must have been given, here or to the
    // constructor, before the next `frames` frames are mixed; the film's
    // gain then comes out as if all speech had been known from the start.
    void AddSpeech(const TSpeechStretch& stretch);
    int64_t SpeechNeededBefore(size_t frames) const;

private:
    // The film's gain at `ms`, for times that only grow.
    double GainAt(int64_t ms);
    // The envelope is given the stretches that begin within a second of
    // `ms` and forgets those over, so that it only ever holds a few: adding
    // to it and reading it cost in proportion to what it holds.
    void Follow(int64_t ms);
    // How far ahead of the moment mixed Follow gives stretches to the envelope.
    static constexpr int64_t FollowAheadMs = 1000;

    uint64_t FSampleRate;
    std::vector<float> FWeights;
    TDuckTiming FTiming;
    TDuckEnvelope FEnvelope;
    std::vector<TSpeechStretch> FSpeech; // by start
    size_t FNextStretch = 0;             // the first not given to the envelope
    double FDuckDb;
    uint64_t FFrame = 0; // the next frame
    // The gain stays FSteadyGain before FSteadyUntil (ms), so that it is
    // worked out once per steady stretch rather than per millisecond.
    int64_t FSteadyFrom = 0, FSteadyUntil = 0;
    double FSteadyGain = 1;
    int64_t FForgotten = 0; // when the envelope last dropped what was over
    template <size_t Fixed> void Sum(const float* film, const float* voice, size_t frames, int16_t* out) const;
    std::vector<float> FGains; // per block, kept for its memory
};

} // namespace parlino
