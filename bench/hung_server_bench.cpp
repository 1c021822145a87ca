// How long the program's (window's) thread is blocked by a sound server that
// hangs: a private PulseAudio is stopped with SIGSTOP, its socket still open,
// and the window's work is done on this thread as the window does it: Speak
// a subtitle on the chosen card, handle the voice's events until it is idle,
// read the sound card list anew (as on device news), Stop. Each call is timed;
// the longest are printed, for the espeak-ng and the Flite voices, before and
// while the server hangs, and whether the speech still ran to its end; and
// how long a program started meanwhile waits for its first card list.
//   hung_server_bench [rounds=5]

#include "fakes/TPrivatePulseServer.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TFliteSpeech.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "platform/linux/TPulseWaveOut.h"
#include "speech/UbSmartSpeech.h"
#include "speech/UbSpeech.h"
#include "ui/DaxAudioUtils.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace parlino;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct TFigures {
    double Speak = 0, Events = 0, CardList = 0, Stop = 0;
    int Ended = 0, Rounds = 0;
    double LongestToEnd = 0;
    double Max() const { return std::max({Speak, Events, CardList, Stop}); }
};

template <typename F> double Timed(F&& call) {
    const auto start = TClock::now();
    call();
    return Ms(TClock::now() - start);
}

// One round: Speak on card 1, handle events until idle (at most 10 s), the
// card list, then Stop.
void Round(TUbSmartSpeech& speech, test::TQueuePoster& poster, TPulseWaveOut& waveOut, TFigures& f) {
    speech.AudioOutput = 1;
    speech.Text = {"Where were you last night when the lights went out?"};
    bool started = false;
    speech.OnStart = [&](TUbSmartSpeech*) { started = true; };
    const auto start = TClock::now();
    f.Speak = std::max(f.Speak, Timed([&] {
                           try {
                               speech.Speak();
                           } catch (const std::exception&) {
                           }
                       }));
    bool ended = false;
    while (TClock::now() - start < 10s) {
        f.Events = std::max(f.Events, Timed([&] { poster.Pump(); }));
        if (started && speech.IsIdle()) {
            ended = true;
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    if (ended) {
        ++f.Ended;
        f.LongestToEnd = std::max(f.LongestToEnd, Ms(TClock::now() - start));
    }
    std::vector<std::string> cards;
    f.CardList = std::max(f.CardList, Timed([&] { GetSoundCardList(waveOut, cards, true); }));
    f.Stop = std::max(f.Stop, Timed([&] { speech.Stop(); }));
    f.Events = std::max(f.Events, Timed([&] { poster.Pump(); }));
    speech.OnStart = nullptr;
    ++f.Rounds;
}

void Print(const char* voice, const char* server, const TFigures& f) {
    std::printf("%-9s %-8s longest block %7.1f ms (Speak %7.1f, events %7.1f, card list %7.1f, Stop %7.1f); "
                "speech ended %d of %d, longest Speak to idle %.0f ms\n",
                voice, server, f.Max(), f.Speak, f.Events, f.CardList, f.Stop, f.Ended, f.Rounds, f.LongestToEnd);
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    test::TPrivatePulseServer server;
    TPulseAudioOutput audio("parlino-bench");
    TIconvCodec codec(1252);
    TPulseWaveOut waveOut(audio, &codec);
    test::TQueuePoster poster;

    TUbSmartSpeechBackends modern;
    modern.Sapi5Installed = [] { return TEspeakEngine::Shared()->Initialised(); };
    modern.CreateVoice = [&]() -> std::unique_ptr<ISpeechVoice> {
        return std::make_unique<TEspeakSpeechVoice>(audio, poster);
    };
    TUbSmartSpeech espeak(std::move(modern), codec, poster);
    espeak.SelectVoice("");

    TFliteTTSClasses classes(audio, poster);
    TUbSpeech legacy(classes);
    TUbSmartSpeechBackends old;
    old.Sapi4Installed = [] { return true; };
    old.Sapi4Speech = &legacy;
    TUbSmartSpeech flite(std::move(old), codec, poster);
    flite.SelectVoice("Flite male, 8 kHz (kal)");

    for (const bool hung : {false, true}) {
        if (hung) server.Hang();
        TFigures e, l;
        for (int i = 0; i < rounds; ++i) {
            Round(espeak, poster, waveOut, e);
            Round(flite, poster, waveOut, l);
        }
        Print("espeak-ng", hung ? "hung" : "running", e);
        Print("Flite", hung ? "hung" : "running", l);
        // A program started now: its first sound card list.
        const double startup = Timed([] {
            TPulseAudioOutput fresh("parlino-bench-start");
            fresh.OutputDevices();
        });
        std::printf("%-9s %-8s a new connection's first card list (from its start) %.1f ms\n", "", hung ? "hung" : "running",
                    startup);
    }
    server.Continue();
    // Back: speech is heard again.
    test::TMonitorRecording& rec = server.Record("test_b");
    std::this_thread::sleep_for(500ms);
    TFigures back;
    const auto since = TClock::now();
    Round(espeak, poster, waveOut, back);
    rec.WaitUntilRecorded(TClock::now() + 50ms);
    std::printf("after the server woke up: speech %s heard\n",
                rec.FirstSound(since, TClock::now()).has_value() ? "is" : "is NOT");
    return 0;
}
