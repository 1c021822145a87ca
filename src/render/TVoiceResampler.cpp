#include "render/TVoiceResampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace parlino {
namespace {

constexpr int Phases = 512;
constexpr size_t ReadBlock = 16384;

} // namespace

TVoiceResampler::TVoiceResampler(int inRate, int outRate, TSource source)
    : FInRate(std::max(1, inRate)), FOutRate(std::max(1, outRate)), FSource(std::move(source)) {
    if (FInRate == FOutRate)
        return;
    // Going down, the filter is as many input samples wider as the rate falls.
    const double ratio = double(FOutRate) / FInRate;
    FHalf = int(std::ceil(16 / std::min(1.0, ratio)));
    // Even, so that the taps go in fours.
    FHalf = std::min((FHalf + 1) / 2 * 2, 256);
    const double cutoff = 0.45 * std::min(1.0, ratio); // of the input rate
    const int width = 2 * FHalf;
    FTaps.resize(size_t(Phases) * size_t(width));
    for (int p = 0; p < Phases; ++p) {
        const double fraction = double(p) / Phases;
        double sum = 0;
        float* taps = &FTaps[size_t(p) * size_t(width)];
        for (int k = 0; k < width; ++k) {
            // Tap k weighs input sample (position - FHalf + 1 + k).
            const double x = double(k - FHalf + 1) - fraction;
            const double arg = 2 * cutoff * x;
            const double sinc = arg == 0 ? 1 : std::sin(std::numbers::pi * arg) / (std::numbers::pi * arg);
            // Blackman window over (-FHalf, FHalf).
            const double w = 0.42 + 0.5 * std::cos(std::numbers::pi * x / FHalf) +
                             0.08 * std::cos(2 * std::numbers::pi * x / FHalf);
            const double value = std::abs(x) >= FHalf ? 0 : sinc * w;
            taps[k] = float(value);
            sum += value;
        }
        // Each phase passes a steady level unchanged.
        for (int k = 0; k < width; ++k) taps[k] = float(taps[k] / sum);
    }
    // The samples before the first are silence.
    FInputStart = -FHalf;
    FInput.assign(size_t(FHalf), 0.0f);
}

void TVoiceResampler::Need(int64_t last) {
    while (FInputStart + int64_t(FInput.size()) <= last) {
        size_t got = 0;
        if (!FSourceEnded) {
            FRead.resize(ReadBlock);
            got = FSource ? FSource(FRead.data(), FRead.size()) : 0;
            FSourceEnded = got == 0;
        }
        if (FSourceEnded) {
            FInput.resize(size_t(last - FInputStart + 1), 0.0f);
            return;
        }
        for (size_t i = 0; i < got; ++i) FInput.push_back(float(FRead[i]) / 32768.0f);
    }
}

void TVoiceResampler::Pull(float* out, size_t count) {
    if (FTaps.empty()) {
        // The same rate: the samples as they are.
        Need(int64_t(FNext + count) - 1);
        const size_t from = size_t(int64_t(FNext) - FInputStart);
        std::copy_n(FInput.begin() + std::ptrdiff_t(from), count, out);
        FNext += count;
    } else {
        const int width = 2 * FHalf;
        const uint64_t in = uint64_t(FInRate), outRate = uint64_t(FOutRate);
        // The input position of the last output sample, for one read ahead.
        Need(int64_t((FNext + count) * in / outRate) + FHalf + 1);
        // In pieces: a piece whose input is all silence (most of a film,
        // between the lines) is silence without filtering.
        constexpr size_t Piece = 512;
        for (size_t start = 0; start < count; start += Piece) {
            const size_t end = std::min(count, start + Piece);
            const int64_t first = int64_t((FNext + start) * in / outRate) - FHalf + 1;
            const int64_t last = int64_t((FNext + end) * in / outRate) + FHalf + 1;
            const auto from = FInput.begin() + std::ptrdiff_t(first - FInputStart);
            const auto to = FInput.begin() + std::ptrdiff_t(std::min<int64_t>(last + 1 - FInputStart, int64_t(FInput.size())));
            if (std::all_of(from, to, [](float v) { return v == 0.0f; })) {
                std::fill(out + start, out + end, 0.0f);
                continue;
            }
            for (size_t n = start; n < end; ++n) {
                const uint64_t at = (FNext + n) * in;
                int64_t index = int64_t(at / outRate);
                uint64_t phase = ((at % outRate) * Phases + outRate / 2) / outRate;
                if (phase == Phases) {
                    phase = 0;
                    ++index;
                }
                const float* taps = &FTaps[phase * size_t(width)];
                const float* x = &FInput[size_t(index - FHalf + 1 - FInputStart)];
                // Four sums side by side, which the compiler keeps in one vector.
                float sum[4] = {0, 0, 0, 0};
                for (int k = 0; k < width; k += 4)
                    for (int j = 0; j < 4; ++j) sum[j] += taps[k + j] * x[k + j];
                out[n] = (sum[0] + sum[1]) + (sum[2] + sum[3]);
            }
        }
        FNext += count;
    }
    // What no later output needs goes.
    const int64_t keepFrom = int64_t(FNext * uint64_t(FInRate) / uint64_t(FOutRate)) - FHalf - 1;
    if (keepFrom - FInputStart > int64_t(1) << 16) {
        FInput.erase(FInput.begin(), FInput.begin() + std::ptrdiff_t(keepFrom - FInputStart));
        FInputStart = keepFrom;
    }
}

} // namespace parlino
