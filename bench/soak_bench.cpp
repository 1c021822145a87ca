// A long run through the real controller and a real voice: a film of many
// subtitles rendered on the simulated clock (parlino-render's path), with the
// resident memory and the worst tick printed for every minute of the film.
// Memory should level off after the first minutes; no tick should come near
// 20 ms.
//   soak_bench [film minutes=120] [subtitles=1500] [voice=en-gb]

#include "ResidentMemory.h"
#include "platform/linux/TIconvCodec.h"
#include "render/TRenderProgram.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

using namespace parlino;

namespace {

std::string Timestamp(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", (long long)(ms / 3600000), (long long)(ms / 60000 % 60),
                  (long long)(ms / 1000 % 60), (long long)(ms % 1000));
    return text;
}

// Subtitles of 3 to 14 words, evenly spread over the film.
std::string WriteFilm(const std::string& path, int minutes, int count) {
    static const char* const words[] = {"the", "night", "was", "long", "and", "nobody", "knew", "where", "we",
                                        "should", "go", "after", "dinner", "so", "I", "waited", "outside"};
    std::ofstream out(path, std::ios::binary);
    const int64_t step = int64_t(minutes) * 60000 / count;
    for (int i = 0; i < count; ++i) {
        const int64_t start = 1000 + i * step;
        std::string text = "Line " + std::to_string(i + 1) + ",";
        for (int w = 0; w < 3 + i % 12; ++w) text += std::string(" ") + words[(i * 7 + w * 3) % 17];
        out << i + 1 << "\r\n" << Timestamp(start) << " --> " << Timestamp(start + step - 200) << "\r\n"
            << text << ".\r\n\r\n";
    }
    return path;
}

} // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 120;
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1500;
    const std::string voice = argc > 3 ? argv[3] : "en-gb";
    const std::string folder = std::filesystem::temp_directory_path() / ("parlino-soak-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string film = WriteFilm(folder + "/film.srt", minutes, count);

    const TIconvCodec codec(1252);
    TRenderEnvironment env{codec, {}, nullptr, {}, nullptr};
    std::printf("film %d min, %d subtitles, voice %s\n", minutes, count, voice.c_str());
    std::printf("minute  resident_MB  worst_tick_ms  ticks\n");
    int64_t minute = 0;
    double worstMs = 0, worstOverallMs = 0, firstMb = 0, lastMb = 0;
    uint64_t ticks = 0;
    const auto wallStart = std::chrono::steady_clock::now();
    env.OnTick = [&](int64_t trackMs, std::chrono::nanoseconds cost) {
        worstMs = std::max(worstMs, std::chrono::duration<double, std::milli>(cost).count());
        ++ticks;
        if (trackMs / 60000 > minute) {
            lastMb = ResidentMb();
            if (minute == 0) firstMb = lastMb;
            std::printf("%6lld  %11.1f  %13.2f  %5llu\n", (long long)minute, lastMb, worstMs, (unsigned long long)ticks);
            std::fflush(stdout);
            worstOverallMs = std::max(worstOverallMs, worstMs);
            minute = trackMs / 60000;
            worstMs = 0;
            ticks = 0;
        }
    };
    std::ostringstream out, err;
    const int status = RunRenderProgram({"--voice", voice, "-o", folder + "/film.wav", film}, out, err, env);
    const double wallS = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    std::printf("render status %d in %.0f s wall: %s%s", status, wallS, out.str().c_str(), err.str().c_str());
    std::printf("resident memory after minute 0: %.1f MB, at the end: %.1f MB (growth %.1f MB); worst tick %.2f ms\n",
                firstMb, lastMb, lastMb - firstMb, std::max(worstOverallMs, worstMs));
    std::filesystem::remove_all(folder);
    return status;
}
