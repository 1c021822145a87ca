// Writes the dense film of the speech-fitting benchmark as a SubRip file
// (tests/data/bench/dense_film.srt is its output) and prints how dense it
// is: characters per second of film, per minute.
//   make_dense_film [FILE.srt] [entries=1100]

#include "DenseFilmGenerator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

using namespace parlino::bench;

int main(int argc, char** argv) {
    const size_t count = argc > 2 ? size_t(std::max(1, std::atoi(argv[2]))) : 1100;
    const std::vector<TDenseEntry> entries = DenseFilm(count);
    const std::string srt = DenseFilmSrt(entries);
    if (argc > 1) {
        std::ofstream out(argv[1], std::ios::binary);
        out << srt;
        if (!out.flush()) {
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
            return 1;
        }
    } else {
        std::fwrite(srt.data(), 1, srt.size(), stdout);
    }
    // Characters shown per second of film, minute by minute, counted at each
    // entry's start.
    std::map<int32_t, size_t> perMinute;
    size_t total = 0;
    for (const TDenseEntry& e : entries) {
        const size_t chars = e.Text.size() - size_t(std::count(e.Text.begin(), e.Text.end(), '\n'));
        perMinute[e.StartMs / 60000] += chars;
        total += chars;
    }
    std::vector<double> rates;
    for (const auto& [minute, chars] : perMinute)
        rates.push_back(double(chars) / 60);
    std::sort(rates.rbegin(), rates.rend());
    const double filmS = entries.back().EndMs / 1000.0;
    std::fprintf(stderr,
                 "%zu entries, %zu bytes, %.1f min; %.1f characters a second overall; busiest "
                 "minutes %.1f, %.1f, %.1f; quietest %.1f\n",
                 entries.size(), srt.size(), filmS / 60, total / filmS, rates[0],
                 rates.size() > 1 ? rates[1] : 0.0, rates.size() > 2 ? rates[2] : 0.0,
                 rates.back());
    size_t busy = 0;
    for (double r : rates)
        busy += r >= 15;
    std::fprintf(stderr, "%zu of %zu minutes at 15 or more characters a second\n", busy,
                 rates.size());
    return 0;
}
