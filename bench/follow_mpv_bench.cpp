// Follows a real mpv through a film in the real window with the real voice on
// a private sound server, and prints for every subtitle when mpv's position
// crossed its due point and when its speech was heard on the recorded sink,
// and how long the longest tick took.
//
//   follow_mpv_bench [seconds=120] [subtitles=40]
//
// Target: every onset within 110 ms after its due point (a tick and the
// sound path); no tick longer than 5 ms.

#include "TBenchWindow.h"
#include "fakes/TRealPlayers.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;

namespace {

const char* const Words[] = {"The train leaves at nine.", "Where is the key?", "Nobody saw it coming.",
                             "We should go now.", "Listen to me.", "It is raining again."};

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 120;
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 40;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    char pattern[] = "/tmp/parlino-follow-bench-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    TBenchWindow bench(app, folder);
    auto& window = bench.Window;
    TMonitorRecording& recording = bench.Server.Record("test");

    // Subtitles spread evenly over the film, the first after two seconds.
    std::vector<int> starts;
    const std::string srt = folder + "/film.srt";
    {
        std::ofstream out(srt);
        const int step = (seconds - 4) * 1000 / count;
        for (int i = 0; i < count; ++i) {
            const int ms = 2000 + i * step;
            starts.push_back(ms);
            char line[64];
            std::snprintf(line, sizeof line, "%02d:%02d:%02d,%03d --> %02d:%02d:%02d,%03d", ms / 3600000,
                          ms / 60000 % 60, ms / 1000 % 60, ms % 1000, ms / 3600000, ms / 60000 % 60,
                          ms / 1000 % 60 + 1, ms % 1000);
            out << i + 1 << "\n" << line << "\n" << Words[i % 6] << "\n\n";
        }
    }
    const std::string film = folder + "/film.wav";
    MakeSilentFilm(film, seconds + 2);
    TMpvProcess mpv(film, MpvSocketPath(bench.Fake.Folders));

    window->LoadSubtitles(srt);
    window->rbTrack->click();
    window->cbPlayerType->setCurrentIndex(static_cast<int>(TPlayerType::Mpv));
    window->btStartWatch->click();
    // The window's timers run the tick through this measuring wrapper.
    TClock::duration worstTick{};
    std::vector<double> tickMs;
    bench.MeasureTicks([&](TClock::duration took) {
        worstTick = std::max(worstTick, took);
        tickMs.push_back(Ms(took));
    });
    Wait(500);
    const auto since = TClock::now();
    mpv.SetPaused(false);
    Wait(seconds * 1000 + 1000);
    bench.Timer.stop();

    std::printf("subtitle  start_ms  due_at_film_s  heard_after_due_ms\n");
    std::vector<double> lates;
    int missing = 0;
    for (size_t i = 0; i < starts.size(); ++i) {
        const double dueSeconds = (starts[i] - 999) / 1000.0;
        const auto due = mpv.WhenReached(dueSeconds, since);
        std::optional<TClock::time_point> onset;
        if (due) {
            recording.WaitUntilRecorded(*due + 1500ms);
            onset = recording.FirstSound(*due - 300ms, *due + 1500ms);
        }
        if (!onset) {
            ++missing;
            std::printf("%8zu %9d %14.3f  not heard\n", i + 1, starts[i], dueSeconds);
            continue;
        }
        lates.push_back(Ms(*onset - *due));
        std::printf("%8zu %9d %14.3f %19.0f\n", i + 1, starts[i], dueSeconds, lates.back());
    }
    std::sort(lates.begin(), lates.end());
    std::sort(tickMs.begin(), tickMs.end());
    if (!lates.empty())
        std::printf("onset after due point: min %.0f ms, median %.0f ms, max %.0f ms; within 110 ms: %zu of %zu\n",
                    lates.front(), lates[lates.size() / 2], lates.back(),
                    static_cast<size_t>(std::count_if(lates.begin(), lates.end(), [](double l) { return l <= 110; })),
                    starts.size());
    std::printf("not heard: %d\n", missing);
    if (!tickMs.empty())
        std::printf("ticks: %zu, median %.3f ms, worst %.3f ms\n", tickMs.size(), tickMs[tickMs.size() / 2],
                    Ms(worstTick));
    mpv.Quit();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
