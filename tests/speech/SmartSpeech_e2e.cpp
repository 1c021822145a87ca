// The speech facade with the real espeak-ng voices and a private sound
// server whose sinks' monitors are recorded: what the listener would hear is
// checked in the recordings.

#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "platform/linux/TWavFileStream.h"
#include "speech/UbSmartSpeech.h"
#include "speech/TSpeechE2E.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <thread>

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

class SmartSpeechE2E : public TSpeechE2E {
protected:
    void SetUp() override {
        TSpeechE2E::SetUp();
        TUbSmartSpeechBackends b;
        b.Sapi5Installed = [] { return TEspeakEngine::Shared()->Initialised(); };
        b.CreateVoice = [this]() -> std::unique_ptr<ISpeechVoice> {
            return std::make_unique<TEspeakSpeechVoice>(*Audio, Poster);
        };
        b.CreateFileStream = []() -> std::unique_ptr<ISpeechFileStream> {
            return std::make_unique<TWavFileStream>(TEspeakEngine::Shared()->SampleRate());
        };
        Speech = std::make_unique<TUbSmartSpeech>(std::move(b), Codec, Poster);
        ASSERT_FALSE(Speech->Voices().empty());
        Speech->SelectVoice("");
    }
};

} // namespace

TEST_F(SmartSpeechE2E, SpeechIsHeardOnTheChosenCardOnlyAndIdleComesAfterTheSound) {
    ASSERT_EQ(Speech->AudioOutputs().size(), 2u);
    EXPECT_EQ(Speech->AudioOutputs()[1].first, "TestB");
    TMonitorRecording& a = Server->Record("test");
    TMonitorRecording& b = Server->Record("test_b");
    const auto start = TClock::now();
    Say(Sentence, 1);
    EXPECT_FALSE(Speech->IsIdle());
    ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }));
    const auto idleAt = TClock::now();
    ASSERT_TRUE(b.WaitUntilRecorded(idleAt + 50ms));
    ASSERT_TRUE(a.WaitUntilRecorded(idleAt + 50ms));
    EXPECT_GT(b.SoundMs(start, idleAt + 50ms), 1500);
    EXPECT_FALSE(a.FirstSound(start, idleAt + 50ms).has_value());
    // Idle turns true once the sound has ended, not before and not long after.
    const auto last = b.LastSound(start, idleAt + 50ms);
    ASSERT_TRUE(last.has_value());
    const double idleAfterSoundMs = std::chrono::duration<double, std::milli>(idleAt - *last).count();
    std::printf("idle came %.1f ms after the last sound\n", idleAfterSoundMs);
    EXPECT_GT(idleAfterSoundMs, -30);
    EXPECT_LT(idleAfterSoundMs, 400);
}

TEST_F(SmartSpeechE2E, StopSilencesTheVoiceWithin50Ms) {
    TMonitorRecording& rec = Server->Record("test");
    const auto start = TClock::now();
    Say(LongText);
    ASSERT_TRUE(PumpUntilHeard(rec, start));
    std::this_thread::sleep_for(500ms);
    const auto stopAt = TClock::now();
    Speech->Stop();
    EXPECT_TRUE(Speech->IsIdle());
    ASSERT_TRUE(rec.WaitUntilRecorded(stopAt + 500ms));
    const auto last = rec.LastSound(start, stopAt + 500ms);
    ASSERT_TRUE(last.has_value());
    const double silentAfterMs = std::chrono::duration<double, std::milli>(*last - stopAt).count();
    std::printf("silent %.1f ms after Stop\n", silentAfterMs);
    EXPECT_LT(silentAfterMs, 50);
    PumpUntil([] { return false; }, 300ms); // late events of the cut stream change nothing
    EXPECT_TRUE(Speech->IsIdle());
}

TEST_F(SmartSpeechE2E, PauseSilencesAndResumeContinuesWhereItPaused) {
    TMonitorRecording& rec = Server->Record("test");
    const auto start = TClock::now();
    Say(LongText);
    ASSERT_TRUE(PumpUntilHeard(rec, start));
    std::this_thread::sleep_for(700ms);
    const auto pausedAt = TClock::now();
    Speech->Pause();
    EXPECT_TRUE(Speech->IsPaused());
    PumpUntil([] { return false; }, 800ms);
    EXPECT_FALSE(Speech->IsIdle()); // paused speech is not finished
    const auto resumedAt = TClock::now();
    Speech->Resume();
    ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 30s));
    const auto end = TClock::now();
    ASSERT_TRUE(rec.WaitUntilRecorded(end + 50ms));
    // The recording places samples to within a few milliseconds.
    const auto duringPause = rec.FirstSound(pausedAt + 50ms, resumedAt - 10ms);
    EXPECT_FALSE(duringPause.has_value())
        << "sound while paused, " << std::chrono::duration<double, std::milli>(*duringPause - pausedAt).count()
        << " ms after Pause; resumed after "
        << std::chrono::duration<double, std::milli>(resumedAt - pausedAt).count() << " ms";
    const auto again = rec.FirstSound(resumedAt, end + 50ms);
    ASSERT_TRUE(again.has_value());
    std::printf("sound again %.1f ms after Resume\n", std::chrono::duration<double, std::milli>(*again - resumedAt).count());
    EXPECT_LT(*again - resumedAt, 300ms); // the next sound of the words, not a restart
    // Nothing was lost or repeated: the whole text took about as long as without the pause.
    const double heard = rec.SoundMs(start, end + 50ms);
    TMonitorRecording& b = Server->Record("test_b");
    const auto s2 = TClock::now();
    Say(LongText, 1);
    ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 30s));
    ASSERT_TRUE(b.WaitUntilRecorded(TClock::now() + 50ms));
    const double straight = b.SoundMs(s2, TClock::now() + 50ms);
    EXPECT_NEAR(heard, straight, straight * 0.1);
}

TEST_F(SmartSpeechE2E, FileOutputWritesTheSameSpeechIntoAWavFile) {
    TMonitorRecording& rec = Server->Record("test");
    const auto start = TClock::now();
    Say(Sentence);
    ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }));
    const auto end = TClock::now() + 50ms;
    ASSERT_TRUE(rec.WaitUntilRecorded(end));
    const auto first = rec.FirstSound(start, end), last = rec.LastSound(start, end);
    ASSERT_TRUE(first && last);
    const double heardMs = std::chrono::duration<double, std::milli>(*last - *first).count();

    const std::string path = ::testing::TempDir() + "/parlino_file_output.wav";
    std::remove(path.c_str());
    Speech->SetOutput(TUbSmartSpeechOutput::ssoFile);
    Speech->OutFileName = path;
    int stops = 0;
    Speech->OnStop = [&](TUbSmartSpeech*) { ++stops; };
    Say(Sentence);
    ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 15s));
    EXPECT_GE(stops, 1);
    std::ifstream wav(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(wav)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 4), "WAVE");
    // From the first to the last loud sample, as in the recording.
    long firstLoud = -1, lastLoud = -1;
    const int rate = TEspeakEngine::Shared()->SampleRate();
    for (size_t i = 44; i + 1 < bytes.size(); i += 2) {
        const int16_t v = static_cast<int16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (std::abs(v) < TMonitorRecording::SoundThreshold) continue;
        const long index = static_cast<long>((i - 44) / 2);
        if (firstLoud < 0) firstLoud = index;
        lastLoud = index;
    }
    ASSERT_GE(firstLoud, 0) << "the file holds only silence";
    const double fileSoundMs = 1000.0 * static_cast<double>(lastLoud - firstLoud) / rate;
    std::printf("heard %.0f ms of speech, the file holds %.0f ms\n", heardMs, fileSoundMs);
    EXPECT_NEAR(fileSoundMs, heardMs, heardMs * 0.05);
    std::remove(path.c_str());
}

TEST_F(SmartSpeechE2E, BadTextNeverHangsAndTheVoiceReturnsToIdle) {
    std::string huge;
    while (huge.size() < 100000) huge += "word and more words, ";
    Say(huge);
    PumpUntil([] { return false; }, 300ms);
    Speech->Stop();
    EXPECT_TRUE(Speech->IsIdle());
    for (const std::string& text : {std::string("<PITCH ABSMIDDLE=\"5\"><foo><bar baz=\"1\">"), std::string("<<<>>> < >"),
                                    std::string("a <unclosed tag b"), std::string("\x81\x8D\x8F\x90\x9D text")}) {
        SCOPED_TRACE(text);
        Speech->CodePage = 1252;
        Say(text);
        EXPECT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 10s));
    }
    Speech->UseTags = false;
    Say("<only> <mark-up>");
    EXPECT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 10s));
}

TEST_F(SmartSpeechE2E, ASoundServerThatDiesWhileSpeakingAndComesBack) {
    Say(LongText);
    PumpUntil([] { return false; }, 400ms);
    Server->Kill();
    EXPECT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 5s)) << "the failed stream must end the speech";
    Server->Start();
    TMonitorRecording& rec = Server->Record("test");
    const auto start = TClock::now();
    // The output reconnects on its next use.
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (Speech->IsIdle()) Say("Hello again.");
            return rec.WaitUntilRecorded(TClock::now(), 100ms) && rec.FirstSound(start, TClock::now()).has_value();
        },
        10s));
    EXPECT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }));
}

TEST_F(SmartSpeechE2E, AChosenCardUnpluggedFallsBackToTheDefaultAndIsUsedAgainWhenPluggedIn) {
    const int module = Server->LoadNullSink("test_c", "TestC");
    ASSERT_GE(module, 0);
    Speech->LoadAudioOutputs();
    ASSERT_EQ(Speech->AudioOutputs().size(), 3u);
    ASSERT_EQ(Speech->AudioOutputs()[2].first, "TestC");
    TMonitorRecording& fallback = Server->Record("test"); // the default card
    ASSERT_TRUE(Server->UnloadModule(module));            // the headset is unplugged
    // The card list follows the server's news, which a loaded machine may
    // deliver some milliseconds late.
    const auto cards = [&](size_t count) {
        return PumpUntil([&] { return Audio->OutputDeviceInfos().size() == count; }, std::chrono::seconds(5));
    };
    ASSERT_TRUE(cards(2));

    auto start = TClock::now();
    ASSERT_NO_THROW(Say(Sentence, 2));
    EXPECT_TRUE(PumpUntilHeard(fallback, start)) << "nothing heard on the default card";
    EXPECT_EQ(Speech->DeviceWarning(),
              "Sound card \"TestC\" is not available: speech goes to the default sound card.");
    EXPECT_TRUE(PumpUntil([&] { return Speech->IsIdle(); })) << "the speech never ended";

    ASSERT_GE(Server->LoadNullSink("test_c", "TestC"), 0); // plugged in again
    ASSERT_TRUE(cards(3));
    TMonitorRecording& headset = Server->Record("test_c");
    start = TClock::now();
    Say(Sentence, 2);
    EXPECT_TRUE(PumpUntilHeard(headset, start)) << "the card that came back is not used";
    EXPECT_EQ(Speech->DeviceWarning(), "");
    EXPECT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }));
}

TEST(SmartSpeechWithoutServer, SpeechRunsToItsEndOnARealTimeClock) {
    // No server at this address: the output finds no device.
    const std::string address = "unix:" + ::testing::TempDir() + "/parlino-no-server/native";
    setenv("PULSE_SERVER", address.c_str(), 1);
    TIconvCodec codec(1252);
    TQueuePoster poster;
    TPulseAudioOutput audio("parlino-e2e");
    EXPECT_TRUE(audio.OutputDevices().empty());
    TUbSmartSpeechBackends b;
    b.Sapi5Installed = [] { return TEspeakEngine::Shared()->Initialised(); };
    b.CreateVoice = [&]() -> std::unique_ptr<ISpeechVoice> { return std::make_unique<TEspeakSpeechVoice>(audio, poster); };
    TUbSmartSpeech speech(std::move(b), codec, poster);
    EXPECT_TRUE(speech.AudioOutputs().empty());
    speech.SelectVoice("");
    speech.Text = {"Nobody hears this, yet it takes its time."};
    const auto start = TClock::now();
    speech.Speak();
    while (!speech.IsIdle() && TClock::now() - start < 10s) {
        poster.Pump();
        std::this_thread::sleep_for(5ms);
    }
    const auto took = TClock::now() - start;
    EXPECT_TRUE(speech.IsIdle());
    EXPECT_GT(took, 1000ms); // real time, not synthesis time
    unsetenv("PULSE_SERVER");
}
