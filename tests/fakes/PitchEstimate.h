#pragma once
// The pitch of recorded speech: the median fundamental frequency of its
// voiced frames, each found by the cumulative mean normalised difference of
// the frame with itself (the first dip under a threshold is the period, which
// avoids the octave errors of plain autocorrelation). Good to a few per cent
// for a voice's speech, which is all the tests compare.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace parlino::test {

inline std::optional<double> MedianPitchHz(const std::vector<int16_t>& samples, int rate, double minHz = 50,
                                           double maxHz = 500) {
    const size_t frame = size_t(rate) * 30 / 1000;
    const size_t minLag = size_t(rate / maxHz), maxLag = size_t(rate / minHz);
    std::vector<double> pitches, difference(maxLag + 1);
    for (size_t start = 0; start + frame + maxLag <= samples.size(); start += frame / 2) {
        auto at = [&](size_t i) { return double(samples[start + i]); };
        double energy = 0;
        for (size_t i = 0; i < frame; ++i) energy += at(i) * at(i);
        if (energy / double(frame) < 500.0 * 500.0) continue; // silence or faint noise
        double sum = 0;
        size_t period = 0;
        for (size_t lag = 1; lag <= maxLag; ++lag) {
            double d = 0;
            for (size_t i = 0; i < frame; ++i) d += (at(i) - at(i + lag)) * (at(i) - at(i + lag));
            sum += d;
            difference[lag] = sum > 0 ? d * double(lag) / sum : 1;
        }
        for (size_t lag = minLag; lag <= maxLag && !period; ++lag) {
            if (difference[lag] >= 0.15) continue;
            while (lag < maxLag && difference[lag + 1] < difference[lag]) ++lag; // the bottom of the dip
            period = lag;
        }
        if (period) pitches.push_back(double(rate) / double(period)); // voiced frames only
    }
    if (pitches.size() < 5) return std::nullopt;
    std::nth_element(pitches.begin(), pitches.begin() + long(pitches.size() / 2), pitches.end());
    return pitches[pitches.size() / 2];
}

} // namespace parlino::test
