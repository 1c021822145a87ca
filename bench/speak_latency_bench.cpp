// Time from Speak to the first sound the listener hears, measured in the
// recording of a private sound server's sink, over repeated Speaks of one
// subtitle-length sentence. Prints the median and the 95th percentile.
//   speak_latency_bench [speaks=25]

#include "fakes/TPrivatePulseServer.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "speech/UbSmartSpeech.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace parlino;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const int speaks = argc > 1 ? std::max(20, std::atoi(argv[1])) : 25;
    test::TPrivatePulseServer server;
    TPulseAudioOutput audio("parlino-bench");
    test::TQueuePoster poster;
    TIconvCodec codec(1252);
    TUbSmartSpeechBackends b;
    b.Sapi5Installed = [] { return TEspeakEngine::Shared()->Initialised(); };
    b.CreateVoice = [&]() -> std::unique_ptr<ISpeechVoice> { return std::make_unique<TEspeakSpeechVoice>(audio, poster); };
    TUbSmartSpeech speech(std::move(b), codec, poster);
    speech.SelectVoice("");
    test::TMonitorRecording& rec = server.Record("test");
    std::vector<double> latencies;
    for (int i = 0; i < speaks; ++i) {
        speech.Text = {"Where were you last night when the lights went out?"};
        const auto start = TClock::now();
        speech.Speak();
        while (!speech.IsIdle() && TClock::now() - start < 10s) {
            poster.Pump();
            std::this_thread::sleep_for(1ms);
        }
        const auto end = TClock::now() + 50ms;
        rec.WaitUntilRecorded(end);
        if (auto first = rec.FirstSound(start, end))
            latencies.push_back(std::chrono::duration<double, std::milli>(*first - start).count());
        std::this_thread::sleep_for(200ms); // a gap, so each Speak's sound stands apart
    }
    if (latencies.empty()) {
        std::printf("no sound was recorded\n");
        return 1;
    }
    std::sort(latencies.begin(), latencies.end());
    const double median = latencies[latencies.size() / 2];
    const double p95 = latencies[static_cast<size_t>(std::ceil(0.95 * static_cast<double>(latencies.size()))) - 1];
    std::printf("speaks: %zu\nSpeak to first sound, median: %.1f ms\nSpeak to first sound, 95th percentile: %.1f ms\n"
                "Speak to first sound, max: %.1f ms\n",
                latencies.size(), median, p95, latencies.back());
    return 0;
}
