// Speech that keeps up with the film: the dense film of
// tests/data/bench/dense_film.srt (made by make_dense_film) rendered by
// parlino-render's code in-process with espeak-ng's British English voice,
// in queue mode, interrupt mode, and fitted at 130 % and 150 % (queued).
// From each render's --report it prints the lateness of the speech (onset
// - due: median, 95th percentile, worst), the share of the speech that was
// cut (of every entry's full length at the chosen speed, entries never
// spoken counting whole), the speed factors and how long the render took.
// Target: fitted at 150 %, p95 lateness at most 300 ms and nothing cut.
//   fit_bench [FILE.srt]

#include "platform/linux/TIconvCodec.h"
#include "render/TRenderProgram.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace parlino;

namespace {

struct TRow {
    bool Spoken = false, Heard = false;
    double Factor = 1;
    int64_t Onset = 0, End = 0, Lateness = 0, Cut = 0;
};

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    if (!line.empty() && line.back() == '\t')
        fields.emplace_back();
    return fields;
}

std::optional<std::vector<TRow>> ReadReport(const std::string& path) {
    std::ifstream in(path);
    std::vector<TRow> rows;
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Fields(line);
        if (f.size() != 8)
            return std::nullopt;
        TRow row;
        row.Spoken = !f[4].empty();
        row.Heard = !f[2].empty();
        if (row.Spoken) {
            row.Factor = std::stod(f[4]);
            row.Cut = std::stoll(f[7]);
        }
        if (row.Heard) {
            row.Onset = std::stoll(f[2]);
            row.End = std::stoll(f[3]);
            row.Lateness = std::stoll(f[5]);
        }
        rows.push_back(row);
    }
    return rows;
}

double Percentile(std::vector<int64_t> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(std::ceil(p / 100 * double(values.size()))) - 1;
    return double(values[std::min(at, values.size() - 1)]);
}

} // namespace

int main(int argc, char** argv) {
    const std::string srt = argc > 1 ? argv[1] : PARLINO_DENSE_FILM;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("parlino-fit-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const TIconvCodec codec(1252);
    const TRenderEnvironment env{codec, {}, nullptr, {}, nullptr};

    // How many entries have text: the report has a row for each of them;
    // the reader's leading empty entry and any entry left without text are
    // no speech to measure.
    std::ostringstream listOut, listErr;
    if (RunRenderProgram({"--list", srt}, listOut, listErr, env) != 0) {
        std::fprintf(stderr, "%s", listErr.str().c_str());
        return 1;
    }
    size_t withText = 0;
    {
        std::istringstream in(listOut.str());
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            const std::vector<std::string> f = Fields(line);
            withText += f.size() >= 4 && f[3].find_first_not_of(' ') != std::string::npos;
        }
    }
    std::printf("film: %s, %zu entries with text, voice en-gb\n", srt.c_str(), withText);

    struct TMode {
        const char* Name;
        std::vector<std::string> Args;
    };
    const std::vector<TMode> modes = {{"queue", {}},
                                      {"interrupt", {"--interrupt"}},
                                      {"fit 130 %", {"--fit", "130"}},
                                      {"fit 150 %", {"--fit", "150"}}};
    std::vector<int64_t> fullMs; // each entry's length at the chosen speed, from the queued render
    std::printf("%-10s %8s %8s %8s %7s %7s %7s %7s %8s\n", "mode", "p50_ms", "p95_ms", "max_ms",
                "cut_%", "mean_f", "max_f", "heard", "render_s");
    for (const TMode& mode : modes) {
        const std::string report = (folder / "report.tsv").string();
        std::vector<std::string> args = mode.Args;
        args.insert(args.end(), {"--voice", "en-gb", "--report", report, "-o",
                                 (folder / "track.wav").string(), srt});
        std::ostringstream out, err;
        const auto t0 = std::chrono::steady_clock::now();
        const int status = RunRenderProgram(args, out, err, env);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const std::optional<std::vector<TRow>> rows = ReadReport(report);
        if (status != 0 || !rows || rows->size() != withText) {
            std::fprintf(stderr, "%s: render failed: %s", mode.Name, err.str().c_str());
            return 1;
        }
        if (fullMs.empty()) // the queued render: nothing is cut, nothing sped up
            for (const TRow& row : *rows)
                fullMs.push_back(row.Heard ? row.End - row.Onset : 0);

        std::vector<int64_t> lateness;
        double cutMs = 0, totalMs = 0, factorSum = 0, factorMax = 0;
        size_t spoken = 0, heard = 0;
        for (size_t i = 0; i < rows->size(); ++i) {
            const TRow& row = (*rows)[i];
            const double full = double(fullMs[i]);
            totalMs += full;
            if (!row.Spoken || !row.Heard) {
                cutMs += full; // never heard at all
            } else {
                const double length = double(row.End - row.Onset + row.Cut);
                cutMs += length > 0 ? full * double(row.Cut) / length : 0;
            }
            if (row.Spoken) {
                ++spoken;
                factorSum += row.Factor;
                factorMax = std::max(factorMax, row.Factor);
            }
            if (row.Heard) {
                ++heard;
                lateness.push_back(row.Lateness);
            }
        }
        std::printf("%-10s %8.0f %8.0f %8.0f %7.1f %7.3f %7.3f %7zu %8.1f\n", mode.Name,
                    Percentile(lateness, 50), Percentile(lateness, 95), Percentile(lateness, 100),
                    totalMs > 0 ? 100 * cutMs / totalMs : 0.0, spoken ? factorSum / double(spoken) : 0.0,
                    factorMax, heard, seconds);
        std::fflush(stdout);
    }
    std::printf("lateness: onset - due over the entries heard; cut_%%: share of the speech not "
                "heard; heard: of %zu entries\n",
                withText);
    std::filesystem::remove_all(folder);
    return 0;
}
