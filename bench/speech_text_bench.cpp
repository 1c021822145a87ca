// The cost of building the speech text of a long "Say it" text full of the
// caller's pitch tags and of angle brackets to escape.
//   speech_text_bench [characters=100000]

#include "fakes/TFakeSpeechVoice.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TIconvCodec.h"
#include "speech/UbSmartSpeech.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace parlino;

int main(int argc, char** argv) {
    const size_t characters = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    TIconvCodec codec(1252);
    test::TQueuePoster poster;
    test::TFakeSpeechVoice* voice = nullptr;
    TUbSmartSpeech speech(test::FakeVoiceBackends(1, &voice), codec, poster);
    speech.SelectVoice("");
    std::string text;
    size_t tags = 0;
    for (; text.size() < characters; ++tags) text += "<PITCH MIDDLE=\"" + std::to_string(tags % 50) + "\">a<b ";
    speech.Text = {text};

    double best = 1e9;
    size_t length = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        length = speech.BuildSpeechText().size();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("speech text of %zu characters with %zu pitch tags: built in %.2f ms (best of 5), %zu characters out\n",
                text.size(), tags, best, length);
    return 0;
}
