// The Flite voices through the facade on a private sound server: for each
// voice, the time from Speak to the first audio handed to the sound server
// (the AudioStart report) and to the first sound heard in the sink's
// recording (which includes the voice's own lead-in of silence), median and
// 95th percentile over repeated Speaks of a 20-word sentence, synthesised as
// it is spoken and synthesised ahead (Prepare, then Speak); then each
// voice's real-time factor (seconds of speech per second of synthesis).
//   flite_latency_bench [speaks=20] [text, instead of the 20-word sentence]

#include "fakes/TPrivatePulseServer.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TFliteEngine.h"
#include "platform/linux/TFliteSpeech.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "speech/UbSmartSpeech.h"
#include "speech/UbSpeech.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

using namespace parlino;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

const char* const Sentence =
    "Where were you last night when the lights went out all over the town and nobody could find the way home?";

constexpr int FaintSound = 100;

double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Print(const char* what, std::vector<double> v) {
    if (v.empty()) {
        std::printf("  %-36s no figures\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    const double p95 = v[static_cast<size_t>(std::ceil(0.95 * static_cast<double>(v.size()))) - 1];
    std::printf("  %-36s median %6.1f ms   p95 %6.1f ms   max %6.1f ms\n", what, v[v.size() / 2], p95, v.back());
}

} // namespace

int main(int argc, char** argv) {
    const int speaks = argc > 1 ? std::max(5, std::atoi(argv[1])) : 20;
    const std::string spoken = argc > 2 ? argv[2] : Sentence;
    test::TPrivatePulseServer server;
    TPulseAudioOutput audio("parlino-bench");
    test::TQueuePoster poster;
    TIconvCodec codec(1252);
    TFliteTTSClasses classes(audio, poster);
    TUbSpeech legacy(classes);
    TUbSmartSpeechBackends b;
    b.Sapi4Installed = [&] { return classes.Installed(); };
    b.Sapi4Speech = &legacy;
    TUbSmartSpeech speech(std::move(b), codec, poster);
    test::TMonitorRecording& rec = server.Record("test");
    std::printf("Speak to first sound, \"%s\", %d speaks per voice:\n", spoken.c_str(), speaks);
    uint64_t preparedId = 0;
    speech.OnPrepared = [&](TUbSmartSpeech*, uint64_t id, int64_t) { preparedId = id; };
    for (const std::string& name : speech.VoiceNames()) {
        speech.SelectVoice(name);
        std::printf("%s\n", name.c_str());
        for (const bool prepare : {false, true}) {
            std::vector<double> started, heard;
            TClock::time_point startedAt;
            speech.OnStart = [&](TUbSmartSpeech*) { startedAt = TClock::now(); };
            for (int i = 0; i < speaks; ++i) {
                speech.Text = {spoken};
                if (prepare) {
                    // Synthesised ahead, as the controller does for a subtitle to come.
                    preparedId = 0;
                    const uint64_t id = speech.Prepare();
                    const auto asked = TClock::now();
                    while (preparedId != id && TClock::now() - asked < 10s) {
                        poster.Pump();
                        std::this_thread::sleep_for(1ms);
                    }
                }
                startedAt = {};
                const auto start = TClock::now();
                speech.Speak();
                // The program's thread waits for its events as an event loop
                // would, without taking a core from the engine's worker.
                while (speech.IsIdle() && TClock::now() - start < 5s) {
                    poster.Pump();
                    std::this_thread::sleep_for(200us);
                }
                while (!speech.IsIdle() && TClock::now() - start < 20s) {
                    poster.Pump();
                    std::this_thread::sleep_for(1ms);
                }
                const auto end = TClock::now() + 50ms;
                rec.WaitUntilRecorded(end);
                if (startedAt != TClock::time_point{}) started.push_back(Ms(startedAt - start));
                // The sink is silent but for the voice: any sample over the faint
                // threshold is sound, so a quiet first consonant counts.
                if (auto first = rec.FirstSound(start, end, FaintSound)) heard.push_back(Ms(*first - start));
                std::this_thread::sleep_for(150ms);
            }
            Print(prepare ? "prepared, to the first audio sent:" : "to the first audio sent:", started);
            Print(prepare ? "prepared, to the first sound heard:" : "to the first sound heard:", heard);
        }
    }

    std::shared_ptr<TFliteEngine> engine = TFliteEngine::Shared();
    std::printf("The engine alone, Submit to its first audio handed out, the same text:\n");
    for (size_t v = 0; v < engine->Voices().size(); ++v) {
        std::vector<double> firsts;
        for (int i = 0; i < speaks; ++i) {
            TFliteJob job;
            job.Voice = v;
            job.Pieces.push_back({spoken, 0, 0, std::nullopt, TFliteEngine::NormalWordsPerMinute,
                                  engine->Voices()[v].NormalPitch, 1.0});
            std::promise<void> done;
            TClock::time_point first{};
            job.OnAudio = [&](const int16_t*, size_t) {
                if (first == TClock::time_point{}) first = TClock::now();
            };
            job.OnFinished = [&](bool) { done.set_value(); };
            const auto start = TClock::now();
            engine->Submit(std::move(job));
            done.get_future().wait();
            if (first != TClock::time_point{}) firsts.push_back(Ms(first - start));
        }
        Print(engine->Voices()[v].Name.c_str(), firsts);
    }

    std::printf("Real-time factor (speech duration / synthesis time), the same sentence x 10:\n");
    std::string text;
    for (int i = 0; i < 10; ++i) text += std::string(Sentence) + " ";
    for (size_t v = 0; v < engine->Voices().size(); ++v) {
        TFliteJob job;
        job.Voice = v;
        job.Pieces.push_back({text, 0, 0, std::nullopt, TFliteEngine::NormalWordsPerMinute,
                              engine->Voices()[v].NormalPitch, 1.0});
        uint64_t samples = 0;
        std::promise<void> done;
        job.OnAudio = [&](const int16_t*, size_t count) { samples += count; };
        job.OnFinished = [&](bool) { done.set_value(); };
        const auto start = TClock::now();
        engine->Submit(std::move(job));
        done.get_future().wait();
        const double took = Ms(TClock::now() - start) / 1000;
        const double spoken = double(samples) / engine->Voices()[v].SampleRate;
        std::printf("  %-6s %6.1f s of speech in %6.3f s: %6.1fx real time\n", engine->Voices()[v].Name.c_str(), spoken,
                    took, spoken / took);
    }
    return 0;
}
