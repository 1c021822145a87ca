#pragma once
// What the speech end-to-end tests share: a private sound server whose sinks
// are recorded, the real audio layer, a poster the test pumps, and the
// facade the test makes in SetUp with the voices it checks.

#include "fakes/TPrivatePulseServer.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "speech/UbSmartSpeech.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace parlino::test {

inline const char* const Sentence = "The quick brown fox jumps over the lazy dog near the river bank.";
inline const char* const LongText =
    "This is a long text that goes on for a while, so that there is time to pause it, resume it and stop it "
    "while the voice is still speaking.";

class TSpeechE2E : public ::testing::Test {
protected:
    using TClock = std::chrono::steady_clock;

    // Starts the server and the audio layer; the derived SetUp makes Speech.
    void SetUp() override {
        ASSERT_NO_THROW(Server = std::make_unique<TPrivatePulseServer>());
        Audio = std::make_unique<TPulseAudioOutput>("parlino-e2e");
    }
    void TearDown() override {
        if (Speech) Speech->Stop();
        Speech.reset();
        Poster.Pump();
        Audio.reset();
        Server.reset();
    }
    // Pumps the engine's events until `done` holds; false on time-out.
    template <typename F> bool PumpUntil(F done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto end = TClock::now() + timeout;
        while (TClock::now() < end) {
            Poster.Pump();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    // Pumps until the recording holds sound made since `since`.
    bool PumpUntilHeard(TMonitorRecording& rec, TClock::time_point since) {
        return PumpUntil([&] {
            return rec.WaitUntilRecorded(TClock::now(), std::chrono::milliseconds(100)) &&
                   rec.FirstSound(since, TClock::now()).has_value();
        });
    }
    void Say(const std::string& text, int output = -1) {
        Speech->AudioOutput = output;
        Speech->Text = {text};
        Speech->Speak();
    }

    TIconvCodec Codec{1252};
    TQueuePoster Poster;
    std::unique_ptr<TPrivatePulseServer> Server;
    std::unique_ptr<TPulseAudioOutput> Audio;
    std::unique_ptr<TUbSmartSpeech> Speech;
};

} // namespace parlino::test
