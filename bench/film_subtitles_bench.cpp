// Reading the subtitles of a long film: FFmpeg's command line makes a film
// of HOURS hours (default 2) of 48 kHz stereo sound with the dense film's
// 1,100 subtitles as a SubRip track, then the film's text track is read as
// "Load.." reads it. Prints the film's size, the time the read took and the
// peak memory of the process.
//   film_subtitles_bench [HOURS]

#include "platform/linux/TFfmpegFilmReader.h"
#include "platform/linux/TIconvCodec.h"
#include "subtitles/FilmSubtitles.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace parlino;

int main(int argc, char** argv) {
    const int hours = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("parlino-film-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string film = (folder / "film.mkv").string();
    const std::string command = "ffmpeg -nostdin -y -loglevel error -f lavfi -i anullsrc=r=48000:cl=stereo -i '" +
                                std::string(PARLINO_DENSE_FILM) + "' -map 0:a -map 1 -c:a pcm_s16le -c:s srt -t " +
                                std::to_string(hours * 3600) + " '" + film + "'";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "could not make the film: %s\n", command.c_str());
        return 1;
    }
    const TIconvCodec codec(1252);
    const TFfmpegFilmReader reader;
    TslItems items;
    const auto t0 = std::chrono::steady_clock::now();
    ReadFilmSubtitles(reader, film, 1, items, codec);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("film: %d h, %.0f MB (48 kHz stereo PCM and a SubRip track)\n", hours,
                double(std::filesystem::file_size(film)) / 1e6);
    std::printf("read %zu subtitles in %.2f s; peak memory %.0f MB\n", items.size() - 1, seconds,
                double(usage.ru_maxrss) / 1024);
    std::filesystem::remove_all(folder);
    return 0;
}
