#pragma once
// The voice-over track (mono, 16-bit) at another sample rate: a windowed-sinc
// filter, low-passed below the lower rate's half, with its phases computed
// once. Input positions are exact fractions of the two rates, so the voice
// never drifts against the film however long it is. Past the end of its
// input the voice is silence.

#include <cstdint>
#include <functional>
#include <vector>

namespace parlino {

class TVoiceResampler {
public:
    // Fills up to `count` samples, returns how many; 0 at the end.
    using TSource = std::function<size_t(int16_t* samples, size_t count)>;

    TVoiceResampler(int inRate, int outRate, TSource source);

    // The next `count` samples at the output rate, as floats (-1..1).
    void Pull(float* out, size_t count);

private:
    // Makes sure the input holds samples up to `last` (absolute index).
    void Need(int64_t last);

    int FInRate, FOutRate;
    TSource FSource;
    int FHalf = 0;             // taps on each side of the position
    std::vector<float> FTaps;  // Phases x (2 * FHalf) kernel
    std::vector<float> FInput; // from absolute index FInputStart
    int64_t FInputStart = 0;
    bool FSourceEnded = false;
    uint64_t FNext = 0; // the next output sample
    std::vector<int16_t> FRead;
};

} // namespace parlino
