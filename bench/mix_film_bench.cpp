// Mixing the voice-over into a long film's sound: FFmpeg's command line
// makes HOURS hours (default 2) of 48 kHz stereo film sound in CODEC
// (default aac, in an mkv), then three runs are timed: decoding the film's
// sound alone, the plain render of the dense film's 1,100 subtitles, and the
// same render with --mix into OUTPUT's format (default .wav). Prints the
// times, what mixing adds to the render, how long writing as many bytes as
// the output takes on its own, and peak memory. With FILM, that
// film is used instead (HOURS and CODEC then only label the figures).
//   mix_film_bench [HOURS] [CODEC] [OUTPUT_EXTENSION] [FILM]

#include "platform/linux/TFfmpegFilmAudio.h"
#include "platform/linux/TFfmpegFilmReader.h"
#include "platform/linux/TIconvCodec.h"
#include "render/TRenderProgram.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using namespace parlino;
using TClock = std::chrono::steady_clock;

namespace {

double Since(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

} // namespace

int main(int argc, char** argv) {
    const int hours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    const std::string codec = argc > 2 ? argv[2] : "aac";
    const std::string extension = argc > 3 ? argv[3] : ".wav";
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("parlino-mix-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const bool given = argc > 4;
    const std::string film = given ? std::string(argv[4]) : (folder / "film.mkv").string();
    // A tone under pink noise: something for the encoder to work on.
    const std::string command =
        "ffmpeg -nostdin -y -loglevel error -f lavfi -i 'anoisesrc=c=pink:r=48000:a=0.1' -f lavfi -i "
        "'sine=f=440:r=48000' -filter_complex amix=inputs=2,aformat=channel_layouts=stereo -c:a " +
        codec + " -t " + std::to_string(hours * 3600) + " '" + film + "'";
    std::printf("%s: %s\n", given ? "the film as made by" : "making the film", command.c_str());
    std::fflush(stdout);
    if (!given && std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "could not make the film\n");
        return 1;
    }

    const TFfmpegFilmAudio audio;
    // Each timed run starts with nothing of the last one still going to disk.
    ::sync();
    auto t0 = TClock::now();
    uint64_t frames = 0;
    {
        const auto decoder = audio.OpenSound(film);
        std::vector<float> block;
        while (const size_t n = decoder->Read(block)) frames += n;
    }
    const double decode = Since(t0);

    const TIconvCodec textCodec(1252);
    const TFfmpegFilmReader reader;
    const TRenderEnvironment env{textCodec, {}, nullptr, {}, &reader, &audio};
    auto run = [&](std::vector<std::string> args, double& seconds) {
        std::ostringstream out, err;
        ::sync();
        const auto start = TClock::now();
        const int status = RunRenderProgram(args, out, err, env);
        seconds = Since(start);
        if (status != 0) std::fprintf(stderr, "parlino-render failed: %s", err.str().c_str());
        return status == 0 ? out.str() : std::string();
    };
    double plain = 0, mixed = 0;
    const std::string plainOut =
        run({"--voice", "en-gb", "-o", (folder / "voice.wav").string(), PARLINO_DENSE_FILM}, plain);
    const std::string mixedOut = run({"--voice", "en-gb", "--mix", film, "-o", (folder / ("mixed" + extension)).string(),
                                      PARLINO_DENSE_FILM},
                                     mixed);
    if (plainOut.empty() || mixedOut.empty()) return 1;
    // What the file system alone costs: as many bytes as the mixed output,
    // written to the same folder in the writer's 256 KiB pieces while the
    // output is still there, so that its memory is not simply reused.
    const std::string mixedFile = (folder / ("mixed" + extension)).string();
    const uintmax_t bytes = std::filesystem::file_size(mixedFile);
    ::sync();
    const auto writeStart = TClock::now();
    {
        const std::vector<char> piece(256 * 1024, 1);
        std::FILE* file = std::fopen((folder / "bytes").c_str(), "wb");
        for (uintmax_t left = bytes; file && left > 0;) {
            const size_t n = size_t(std::min<uintmax_t>(left, piece.size()));
            if (std::fwrite(piece.data(), 1, n, file) != n) break;
            left -= n;
        }
        if (file) std::fclose(file);
    }
    const double writing = Since(writeStart);
    std::printf("film: %d h of 48 kHz stereo %s, %.0f MB, %.0f s decoded\n", hours, codec.c_str(),
                double(std::filesystem::file_size(film)) / 1e6, double(frames) / 48000);
    std::printf("decoding alone:       %7.2f s\n", decode);
    std::printf("plain render:         %7.2f s  %s", plain, plainOut.c_str());
    std::printf("render --mix (%s):  %7.2f s  %s", extension.c_str(), mixed, mixedOut.c_str());
    std::printf("mixing adds:          %7.2f s = %.2fx the decoding time (target at most 1x)\n", mixed - plain,
                (mixed - plain) / decode);
    std::printf("writing %.0f MB alone: %5.2f s (into %s)\n", double(bytes) / 1e6, writing, folder.c_str());
    std::printf("peak memory:          %7.0f MB\n", PeakMegabytes());
    std::filesystem::remove_all(folder);
    return 0;
}
