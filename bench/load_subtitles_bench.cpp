// Times reading a large SubRip file: the whole path from the file to the
// track (reading, decoding, splitting, parsing). Prints seconds and memory:
// the peak while the file is read and decoded (goal: at most twice the
// file's size), and the peak of the whole process, track included.
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

namespace {

// A field of /proc/self/status in megabytes ("VmRSS", "VmHWM").
long StatusMegabytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1) / 1024;
    return -1;
}

// Starts a new peak: the kernel sets the high-water mark to the present size.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace

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
        ResetPeak();
        const long before = StatusMegabytes("VmRSS");
        auto t0 = std::chrono::steady_clock::now();
        const std::string text = LoadTextFileText(path, codec);
        auto t1 = std::chrono::steady_clock::now();
        const long peak = StatusMegabytes("VmHWM") - before;
        std::printf("read+decode peak memory MB: %ld (%.2f times the file)\n", peak,
                    static_cast<double>(peak) / static_cast<double>(megabytes));
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
    std::printf("file: %ld MB (%s)\nentries: %zu\nload seconds: %.2f\nprocess peak memory MB: %ld\n", megabytes,
                utf8 ? "UTF-8 without mark" : "ANSI", items.size() - 1, seconds, usage.ru_maxrss / 1024);
    std::remove(path.c_str());
    return 0;
}
