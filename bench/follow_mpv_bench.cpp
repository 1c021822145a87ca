// Follows a real mpv through a film in the real window with the real voice on
// a private sound server, and prints for every subtitle when mpv's position
// crossed its due point and when its speech was heard on the recorded sink,
// and how long the longest tick took.
//
//   follow_mpv_bench [seconds=120] [subtitles=40]
//
// Target: every onset within 110 ms after its due point (a tick and the
// sound path); no tick longer than 5 ms.

#include "app/ParlinoFmA.h"
#include "fakes/TFakePlatform.h"
#include "fakes/TPrivatePulseServer.h"
#include "fakes/TRealPlayers.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TLinuxWindowSystem.h"
#include "platform/linux/TMonotonicTickCounter.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "platform/linux/TPulseWaveOut.h"
#include "platform/linux/TUnixLineChannel.h"
#include "ui/TQtEventPoster.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

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
    TPrivatePulseServer server;
    TFakePlatform fake;
    fake.Folders.Runtime = folder;
    TMonotonicTickCounter ticks;
    TPlatform platform{fake.Codec, fake.Locale, ticks, fake.Folders, fake.Shell, fake.Messages};
    TLinuxWindowSystem windows;
    TPlayerEnvironment players{windows, [] { return std::make_unique<TUnixLineChannel>(); }, nullptr};
    TPulseAudioOutput audio("parlino-bench");
    TPulseWaveOut waveOut(audio, &fake.Codec);
    TQtEventPoster poster(&app);
    TUbSmartSpeechBackends backends;
    backends.Sapi5Installed = [] { return TEspeakEngine::Shared()->Initialised(); };
    backends.CreateVoice = [&]() -> std::unique_ptr<ISpeechVoice> {
        return std::make_unique<TEspeakSpeechVoice>(audio, poster);
    };
    TSpeechEnvironment speech{backends, poster, &waveOut};
    auto window = std::make_unique<TfmParlinoA>(platform, speech, players);
    TMonitorRecording& recording = server.Record("test");

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
    TMpvProcess mpv(film, MpvSocketPath(fake.Folders));

    window->LoadSubtitles(srt);
    window->rbTrack->click();
    window->cbPlayerType->setCurrentIndex(static_cast<int>(TPlayerType::Mpv));
    window->btStartWatch->click();
    // The window's timers run the tick through this measuring wrapper.
    window->Timer1->stop();
    QObject::disconnect(window->DueTimer, nullptr, nullptr, nullptr);
    QTimer timer;
    timer.setInterval(100);
    TClock::duration worstTick{};
    std::vector<double> tickMs;
    const auto measuredTick = [&] {
        const auto t = TClock::now();
        window->Timer1Timer();
        const auto took = TClock::now() - t;
        worstTick = std::max(worstTick, took);
        tickMs.push_back(Ms(took));
    };
    QObject::connect(&timer, &QTimer::timeout, measuredTick);
    QObject::connect(window->DueTimer, &QTimer::timeout, measuredTick);
    timer.start();
    Wait(500);
    const auto since = TClock::now();
    mpv.SetPaused(false);
    Wait(seconds * 1000 + 1000);
    timer.stop();

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
    window.reset();
    mpv.Quit();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
