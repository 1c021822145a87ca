// The real window in manual playback at real time, with the real voice on a
// private sound server (offscreen): every minute the resident memory, the
// worst playback tick and the longest time the window's thread was kept from
// its events. Memory should stay level; no tick or stall should near 20 ms.
//   window_soak_bench [minutes=10] [subtitles per minute=12]

#include "TBenchWindow.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace parlino;
using namespace parlino::test;

namespace {

double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

const char* const Lines[] = {"The train leaves at nine, so we have to hurry.", "Where is the key?",
                             "Nobody saw it coming, not even the old man.", "We should go now.",
                             "Listen to me, this is important.", "It is raining again."};

} // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int perMinute = argc > 2 ? std::max(1, std::atoi(argv[2])) : 12;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    char pattern[] = "/tmp/parlino-soak-bench-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    TBenchWindow bench(app, folder);

    const std::string srt = folder + "/film.srt";
    {
        std::ofstream out(srt);
        const int count = minutes * perMinute, step = 60000 / perMinute;
        for (int i = 0; i < count; ++i) {
            const int ms = 1500 + i * step;
            char line[64];
            std::snprintf(line, sizeof line, "%02d:%02d:%02d,%03d --> %02d:%02d:%02d,%03d", ms / 3600000,
                          ms / 60000 % 60, ms / 1000 % 60, ms % 1000, ms / 3600000, ms / 60000 % 60,
                          ms / 1000 % 60 + 1, ms % 1000);
            out << i + 1 << "\n" << line << "\n" << Lines[i % 6] << "\n\n";
        }
    }
    bench.Window->LoadSubtitles(srt);
    bench.Window->rbManual->click();
    bench.Window->sg1->setCurrentIndex(bench.Window->GridModel->index(0, 1));

    double worstTickMs = 0, worstStallMs = 0, allTicksMs = 0, allStallsMs = 0;
    bench.MeasureTicks([&](TClock::duration took) { worstTickMs = std::max(worstTickMs, Ms(took)); });
    // A 5 ms probe: how late it fires is how long the thread was busy.
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    TClock::time_point lastProbe = TClock::now();
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const auto now = TClock::now();
        worstStallMs = std::max(worstStallMs, Ms(now - lastProbe) - 5);
        lastProbe = now;
    });
    probe.start();
    bench.Window->btPlay->click();
    std::printf("minute  resident_MB  worst_tick_ms  worst_stall_ms\n");
    double firstMb = 0, lastMb = 0;
    for (int minute = 0; minute < minutes; ++minute) {
        Wait(60000);
        lastMb = ResidentMb();
        if (minute == 0) firstMb = lastMb;
        std::printf("%6d  %11.1f  %13.2f  %14.2f\n", minute, lastMb, worstTickMs, worstStallMs);
        std::fflush(stdout);
        allTicksMs = std::max(allTicksMs, worstTickMs);
        allStallsMs = std::max(allStallsMs, worstStallMs);
        worstTickMs = worstStallMs = 0;
    }
    size_t spoken = 0;
    for (size_t i = 1; i < bench.Window->Items.size(); ++i) spoken += bench.Window->Items[i].Spoken ? 1 : 0; // past the leading entry
    std::printf("spoken %zu of %d subtitles; resident memory after minute 0: %.1f MB, at the end: %.1f MB "
                "(growth %.1f MB); worst tick %.2f ms, worst stall %.2f ms\n",
                spoken, minutes * perMinute, firstMb, lastMb, lastMb - firstMb, allTicksMs, allStallsMs);
    bench.Window->btStop->click();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
