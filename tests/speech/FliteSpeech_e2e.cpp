// The legacy voices with real Flite through the facade, on a private sound
// server whose sinks' monitors are recorded: what the listener would hear is
// checked in the recordings.

#include "fakes/PitchEstimate.h"
#include "fakes/TPrivatePulseServer.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TFliteSpeech.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "speech/UbSmartSpeech.h"
#include "speech/TSpeechE2E.h"
#include "speech/UbSpeech.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

class FliteSpeechE2E : public TSpeechE2E {
protected:
    void SetUp() override {
        TSpeechE2E::SetUp();
        Classes = std::make_unique<TFliteTTSClasses>(*Audio, Poster);
        ASSERT_TRUE(Classes->Installed());
        Legacy = std::make_unique<TUbSpeech>(*Classes);
        TUbSmartSpeechBackends b;
        b.Sapi4Installed = [] { return true; };
        b.Sapi4Speech = Legacy.get();
        Speech = std::make_unique<TUbSmartSpeech>(std::move(b), Codec, Poster);
        ASSERT_EQ(Speech->Voices().size(), 5u);
        Speech->SelectVoice("Flite female (slt)");
    }
    void TearDown() override {
        if (Speech) Speech->Stop();
        Speech.reset();
        Legacy.reset();
        Poster.Pump();
        Classes.reset();
        TSpeechE2E::TearDown();
    }
    // Speaks `text` to its end; the span from its first to its last sound.
    double SpokenMs(TMonitorRecording& rec, const std::string& text) {
        const auto start = TClock::now();
        Say(text);
        EXPECT_TRUE(PumpUntil([&] { return !Speech->IsIdle(); }));
        EXPECT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 30s));
        const auto end = TClock::now() + 50ms;
        EXPECT_TRUE(rec.WaitUntilRecorded(end));
        const auto first = rec.FirstSound(start, end), last = rec.LastSound(start, end);
        if (!first || !last) return 0;
        return Ms(*last - *first);
    }

    std::unique_ptr<TFliteTTSClasses> Classes;
    std::unique_ptr<TUbSpeech> Legacy;
};

} // namespace

TEST_F(FliteSpeechE2E, EveryVoiceIsHeardOnTheChosenCardWithWordsInOrder) {
    TMonitorRecording& a = Server->Record("test");
    TMonitorRecording& b = Server->Record("test_b");
    for (const std::string& name : Speech->VoiceNames()) {
        SCOPED_TRACE(name);
        Speech->SelectVoice(name);
        std::vector<uint32_t> words;
        Speech->OnWordPosition = [&](TUbSmartSpeech*, uint32_t p) { words.push_back(p); };
        const auto start = TClock::now();
        Say(Sentence, 1);
        ASSERT_TRUE(PumpUntil([&] { return !Speech->IsIdle(); }));
        ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }));
        const auto end = TClock::now() + 50ms;
        ASSERT_TRUE(b.WaitUntilRecorded(end));
        ASSERT_TRUE(a.WaitUntilRecorded(end));
        EXPECT_GT(b.SoundMs(start, end), 1500);
        EXPECT_FALSE(a.FirstSound(start, end).has_value());
        // Byte offsets of the words of the text, in order.
        const std::vector<uint32_t> expected{0, 4, 10, 16, 20, 26, 31, 35, 40, 44, 49, 53, 59};
        EXPECT_EQ(words, expected);
    }
}

TEST_F(FliteSpeechE2E, TheSpeedSliderChangesHowLongTheSpeechLasts) {
    TMonitorRecording& rec = Server->Record("test");
    const TUbSmartSpeechVoiceInfo& info = Speech->GetInfo();
    EXPECT_EQ(info.SpeedMin, 60);
    EXPECT_EQ(info.SpeedMax, 400);
    Speech->SetSpeed(100);
    const double slow = SpokenMs(rec, Sentence);
    Speech->SetSpeed(300);
    const double fast = SpokenMs(rec, Sentence);
    std::printf("at 100 words a minute %.0f ms, at 300 %.0f ms\n", slow, fast);
    EXPECT_NEAR(slow / fast, 3.0, 0.6);
}

TEST_F(FliteSpeechE2E, ThePitchSliderChangesThePitchHeard) {
    TMonitorRecording& rec = Server->Record("test");
    EXPECT_EQ(Speech->GetInfo().PitchMin, 50);
    EXPECT_EQ(Speech->GetInfo().PitchMax, 400);
    auto heardPitch = [&](int32_t pitch) {
        Speech->SetPitch(pitch);
        const auto start = TClock::now();
        SpokenMs(rec, "Hello there. How are you today?");
        const auto samples = rec.Samples();
        const auto spoken = std::vector<int16_t>(samples.begin() + long(rec.SampleAt(start)), samples.end());
        return MedianPitchHz(spoken, TMonitorRecording::Rate).value_or(0);
    };
    for (const char* voice : {"Flite female (slt)", "Flite male, 16 kHz (kal16)"}) {
        SCOPED_TRACE(voice);
        Speech->SelectVoice(voice);
        const double low = heardPitch(100), high = heardPitch(200);
        std::printf("%s: asked 100 Hz, heard %.0f Hz; asked 200 Hz, heard %.0f Hz\n", voice, low, high);
        // Each voice's contour is moved to the mean asked for.
        EXPECT_NEAR(low, 100, 15);
        EXPECT_NEAR(high, 200, 30);
    }
}

TEST_F(FliteSpeechE2E, TagsInFrontOfTheTextSetSpeedAndVolume) {
    // As the voice panel puts them in front of every text for a voice that
    // takes its settings as tags.
    TMonitorRecording& rec = Server->Record("test");
    const double slow = SpokenMs(rec, " \\Spd=100\\  \\Pit=120\\  \\Vol=65535\\ " + std::string(Sentence));
    const double fast = SpokenMs(rec, " \\Spd=300\\  \\Pit=120\\  \\Vol=65535\\ " + std::string(Sentence));
    std::printf("tagged 100 words a minute %.0f ms, 300 %.0f ms\n", slow, fast);
    EXPECT_NEAR(slow / fast, 3.0, 0.6);
    // Both halves of the volume at 0: nothing is heard.
    EXPECT_EQ(SpokenMs(rec, " \\Vol=0\\ Hello there."), 0);
}

TEST_F(FliteSpeechE2E, APauseTagInsertsItsSilence) {
    TMonitorRecording& rec = Server->Record("test");
    const double plain = SpokenMs(rec, "Hello there. How are you?");
    const double paused = SpokenMs(rec, "Hello there. \\Pau=500\\How are you?");
    std::printf("without the pause %.0f ms, with it %.0f ms\n", plain, paused);
    // Each side of the pause also keeps the short silence that ends or
    // starts a stretch of speech.
    EXPECT_GT(paused - plain, 450);
    EXPECT_LT(paused - plain, 800);
}

TEST_F(FliteSpeechE2E, PauseSilencesAndResumeContinues) {
    TMonitorRecording& rec = Server->Record("test");
    const auto start = TClock::now();
    Say(LongText);
    ASSERT_TRUE(PumpUntil([&] { return !Speech->IsIdle(); }));
    PumpUntil([] { return false; }, 700ms); // the program's thread keeps running
    const auto pausedAt = TClock::now();
    Speech->Pause();
    EXPECT_TRUE(Speech->IsPaused());
    PumpUntil([] { return false; }, 800ms);
    EXPECT_FALSE(Speech->IsIdle());
    const auto resumedAt = TClock::now();
    Speech->Resume();
    EXPECT_FALSE(Speech->IsPaused());
    ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 30s));
    const auto end = TClock::now();
    ASSERT_TRUE(rec.WaitUntilRecorded(end + 50ms));
    const auto duringPause = rec.FirstSound(pausedAt + 50ms, resumedAt - 10ms);
    EXPECT_FALSE(duringPause.has_value()) << Ms(*duringPause - pausedAt) << " ms after Pause";
    const auto again = rec.FirstSound(resumedAt, end + 50ms);
    ASSERT_TRUE(again.has_value());
    std::printf("sound again %.1f ms after Resume\n", Ms(*again - resumedAt));
    EXPECT_LT(*again - resumedAt, 50ms);
    EXPECT_TRUE(rec.FirstSound(start, pausedAt).has_value());
}

TEST_F(FliteSpeechE2E, StopSilencesAndTheVoiceReportsIdleAfterwards) {
    TMonitorRecording& rec = Server->Record("test");
    const auto start = TClock::now();
    Say(LongText);
    ASSERT_TRUE(PumpUntil([&] { return !Speech->IsIdle(); }));
    PumpUntil([] { return false; }, 500ms);
    const auto stopAt = TClock::now();
    Speech->Stop();
    ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 2s));
    ASSERT_TRUE(rec.WaitUntilRecorded(stopAt + 500ms));
    const auto last = rec.LastSound(start, stopAt + 500ms);
    ASSERT_TRUE(last.has_value()) << "first sound "
                                  << (rec.FirstSound(start, stopAt + 500ms) ? Ms(*rec.FirstSound(start, stopAt + 500ms) - start) : -1);
    std::printf("silent %.1f ms after Stop\n", Ms(*last - stopAt));
    EXPECT_LT(*last - stopAt, 50ms);
}

TEST_F(FliteSpeechE2E, TwoSpeaksInARowAreBothHeard) {
    TMonitorRecording& rec = Server->Record("test");
    const double one = SpokenMs(rec, Sentence);
    const auto start = TClock::now();
    Say(Sentence);
    Say(Sentence);
    ASSERT_TRUE(PumpUntil([&] { return !Speech->IsIdle(); }));
    ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 30s));
    const auto end = TClock::now() + 50ms;
    ASSERT_TRUE(rec.WaitUntilRecorded(end));
    const auto first = rec.FirstSound(start, end), last = rec.LastSound(start, end);
    ASSERT_TRUE(first && last);
    const double both = Ms(*last - *first);
    std::printf("one sentence %.0f ms, two in a row %.0f ms\n", one, both);
    EXPECT_NEAR(both, 2 * one, 0.25 * one);
}

TEST_F(FliteSpeechE2E, BadInputNeverHangsAndTheVoiceReturnsToIdle) {
    std::string huge;
    while (huge.size() < 100000) huge += "word and more words, ";
    Say(huge);
    ASSERT_TRUE(PumpUntil([&] { return !Speech->IsIdle(); }));
    Speech->Stop();
    ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 2s));
    for (const std::string& text :
         {std::string("\\Spd=99999999999999\\fast \\Pit=0\\low \\Vol=abc\\ \\Pau=4294967295\\"),
          std::string("unterminated \\Spd=120 tag"), std::string("\x81\x8D\x8F\x90\x9D \xE9t\xE9 text"),
          std::string("\\\\\\\\"), std::string("   ")}) {
        SCOPED_TRACE(text);
        Say(text);
        PumpUntil([] { return false; }, 200ms);
        EXPECT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 15s));
    }
}

namespace {

// The length and the pitch of what `text` sounds like when spoken to its end.
struct THeard {
    double Ms = 0;
    double PitchHz = 0;
};

} // namespace

TEST_F(FliteSpeechE2E, TheSpeedFactorShortensTheSpeechAndKeepsItsPitch) {
    TMonitorRecording& rec = Server->Record("test");
    auto heard = [&](double factor) {
        Speech->SpeedFactor = factor;
        const auto start = TClock::now();
        THeard result;
        result.Ms = SpokenMs(rec, Sentence);
        const auto samples = rec.Samples();
        const std::vector<int16_t> spoken(samples.begin() + long(rec.SampleAt(start)), samples.end());
        result.PitchHz = MedianPitchHz(spoken, TMonitorRecording::Rate).value_or(0);
        return result;
    };
    for (const char* voice : {"Flite female (slt)", "Flite male, 16 kHz (kal16)"}) {
        SCOPED_TRACE(voice);
        Speech->SelectVoice(voice);
        const THeard normal = heard(1.0), faster = heard(1.5);
        std::printf("%s: factor 1 %.0f ms at %.0f Hz, factor 1.5 %.0f ms at %.0f Hz (%.2f times shorter)\n", voice,
                    normal.Ms, normal.PitchHz, faster.Ms, faster.PitchHz, normal.Ms / faster.Ms);
        EXPECT_NEAR(normal.Ms / faster.Ms, 1.5, 0.15);
        EXPECT_NEAR(faster.PitchHz / normal.PitchHz, 1.0, 0.05);
    }
}

TEST_F(FliteSpeechE2E, APreparedTextSoundsAtOnceForAsLongAsReported) {
    TMonitorRecording& rec = Server->Record("test");
    std::vector<std::pair<uint64_t, int64_t>> prepared;
    Speech->OnPrepared = [&](TUbSmartSpeech*, uint64_t id, int64_t ms) { prepared.emplace_back(id, ms); };
    for (const char* voice : {"Flite female (slt)", "Flite male, Scottish (awb)"}) {
        SCOPED_TRACE(voice);
        Speech->SelectVoice(voice);
        Speech->SpeedFactor = 1.2;
        prepared.clear();
        Speech->Text = {Sentence};
        const uint64_t id = Speech->Prepare();
        ASSERT_NE(id, 0u);
        ASSERT_TRUE(PumpUntil([&] { return !prepared.empty(); }));
        EXPECT_EQ(prepared[0].first, id);
        const auto start = TClock::now();
        Say(Sentence);
        ASSERT_TRUE(PumpUntil([&] { return !Speech->IsIdle(); }));
        ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 30s));
        const auto end = TClock::now() + 50ms;
        ASSERT_TRUE(rec.WaitUntilRecorded(end));
        const auto first = rec.FirstSound(start, end, 100), last = rec.LastSound(start, end, 100);
        ASSERT_TRUE(first && last);
        const double heardMs = Ms(*last - start);
        std::printf("%s: first sound %.1f ms after Speak; reported %lld ms, heard until %.0f ms after Speak\n",
                    voice, Ms(*first - start), static_cast<long long>(prepared[0].second), heardMs);
        EXPECT_NEAR(double(prepared[0].second), heardMs, 50);
    }
}

TEST_F(FliteSpeechE2E, ATextNotPreparedIsSpokenWhilePreparationsWait) {
    TMonitorRecording& rec = Server->Record("test");
    int prepared = 0;
    Speech->OnPrepared = [&](TUbSmartSpeech*, uint64_t, int64_t) { ++prepared; };
    for (int i = 0; i < 4; ++i) {
        Speech->Text = {std::string(LongText) + " " + Sentence + " " + std::to_string(i)};
        ASSERT_NE(Speech->Prepare(), 0u);
    }
    const auto start = TClock::now();
    Say("Right now, please.");
    ASSERT_TRUE(PumpUntilHeard(rec, start));
    // Counted when it is heard: afterwards the preparations go on while it speaks.
    const int preparedWhenHeard = prepared;
    std::printf("first sound %.1f ms after Speak, with %d of 4 preparations done\n",
                Ms(*rec.FirstSound(start, TClock::now()) - start), preparedWhenHeard);
    EXPECT_LT(preparedWhenHeard, 4);
    ASSERT_TRUE(PumpUntil([&] { return Speech->IsIdle(); }, 30s));
    Speech->DiscardPrepared();
}
