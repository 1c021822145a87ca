// Times reading a large SubRip file: the whole path from the file to the
// track (reading, decoding, splitting, parsing). Prints seconds and memory.
//   load_subtitles_bench [megabytes=200] [utf8|ansi]

#include "platform/linux/TIconvCodec.h"
#include "subtitles/SubtitleReaders.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>

using namespace parlino;

int main(int argc, char** argv) {
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 200;
    const bool utf8 = argc > 2 && std::string(argv[2]) == "utf8";
    const std::string path = "/tmp/parlino_bench_" + std::to_string(megabytes) + (utf8 ? "_utf8" : "_ansi") + ".srt";
    {
        std::ofstream out(path, std::ios::binary);
        const std::string text = utf8 ? "Caf\xC3\xA9 au lait, s'il vous pla\xC3\xAEt, and another line of dialogue."
                                      : "Just another ordinary line of dialogue, spoken by someone.";
        long written = 0;
        for (long i = 1; written < megabytes * 1024 * 1024; ++i) {
            const long ms = i * 1500;
            char time[64];
            std::snprintf(time, sizeof time, "%02ld:%02ld:%02ld,%03ld --> %02ld:%02ld:%02ld,%03ld", ms / 3600000 % 100,
                          ms / 60000 % 60, ms / 1000 % 60, ms % 1000, ms / 3600000 % 100, ms / 60000 % 60,
                          ms / 1000 % 60, ms % 1000);
            std::string block = std::to_string(i) + "\r\n" + time + "\r\n" + text + "\r\n" + text + "\r\n\r\n";
            out << block;
            written += static_cast<long>(block.size());
        }
    }
    const TIconvCodec codec(1252);
    TslItems items;
    {
        // The phases one by one, to show where the time goes.
        auto t0 = std::chrono::steady_clock::now();
        const std::string text = LoadTextFileText(path, codec);
        auto t1 = std::chrono::steady_clock::now();
        const auto lines = SplitLineViews(text);
        auto t2 = std::chrono::steady_clock::now();
        ReadSrtLines(lines, items);
        auto t3 = std::chrono::steady_clock::now();
        auto s = [](auto a, auto b) { return std::chrono::duration<double>(b - a).count(); };
        std::printf("phases: read+decode %.2f s, split %.2f s, parse %.2f s\n", s(t0, t1), s(t1, t2), s(t2, t3));
        items = TslItems();
    }
    const auto start = std::chrono::steady_clock::now();
    ReadSrtFile(path, items, codec);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("file: %ld MB (%s)\nentries: %zu\nload seconds: %.2f\npeak memory MB: %ld\n", megabytes,
                utf8 ? "UTF-8 without mark" : "ANSI", items.size() - 1, seconds, usage.ru_maxrss / 1024);
    std::remove(path.c_str());
    return 0;
}
