// The Flite engine central with the real voices speaking into memory: the
// speed factor, texts synthesised ahead and played from memory, which
// prepared text a TextData takes, and the store's limit.

#include "fakes/TMemoryAudioOutput.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TFliteCentral.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TFliteSpeech.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;

namespace {

class TRecordingBufSink final : public ITTSBufNotifySink {
public:
    HRESULT TextDataDone(uint64_t, uint32_t) override { return ++Done, S_OK; }
    HRESULT TextDataStarted(uint64_t) override { return S_OK; }
    HRESULT BookMark(uint64_t, uint32_t mark) override { return Marks.push_back(mark), S_OK; }
    HRESULT WordPosition(uint64_t, uint32_t position) override { return Words.push_back(position), S_OK; }
    int Done = 0;
    std::vector<uint32_t> Words, Marks;
};

class TRecordingPreparedSink final : public ITTSPreparedNotifySink {
public:
    HRESULT Prepared(uint64_t id, uint64_t durationMs) override {
        Reported.emplace_back(id, durationMs);
        return S_OK;
    }
    HRESULT Dropped(uint64_t id) override {
        DroppedIds.push_back(id);
        return S_OK;
    }
    std::vector<std::pair<uint64_t, uint64_t>> Reported;
    std::vector<uint64_t> DroppedIds;
    bool Has(uint64_t id) const {
        return std::any_of(Reported.begin(), Reported.end(), [&](const auto& r) { return r.first == id; });
    }
};

struct TSpoken {
    std::vector<int16_t> Samples;
    std::vector<uint32_t> Words, Marks;
};

class FliteCentralTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Classes.Installed());
        Select("kal");
    }
    void Select(const std::string& voice) { Select(voice, Classes); }
    void Select(const std::string& voice, TFliteTTSClasses& classes) {
        auto modes = classes.CreateEnum();
        for (size_t i = 0; i < TFliteEngine::Shared()->Voices().size(); ++i) {
            if (TFliteEngine::Shared()->Voices()[i].Name != voice) continue;
            std::shared_ptr<ITTSCentralA> central;
            ASSERT_EQ(modes->Select(classes.ModeInfo(i).gModeID, &central, classes.CreateMultiMediaDevice()), S_OK);
            Central = std::dynamic_pointer_cast<TFliteCentral>(central);
        }
        ASSERT_TRUE(Central);
    }
    template <typename F> bool PumpUntil(F done, std::chrono::milliseconds timeout = 20s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            Poster.Pump();
            Audio.Advance(100);
            if (done()) return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }
    // Hands `text` to TextData and plays it to its end.
    TSpoken Speak(const std::string& text, uint32_t flags = TTSDATAFLAG_TAGGED) {
        auto sink = std::make_shared<TRecordingBufSink>();
        const size_t stream = Audio.StreamCount();
        EXPECT_EQ(Central->TextData(CHARSET_TEXT, flags, text.c_str(), uint32_t(text.size() + 1), sink,
                                    IID_ITTSBufNotifySink),
                  S_OK);
        EXPECT_TRUE(PumpUntil([&] { return sink->Done > 0; }));
        if (Audio.StreamCount() <= stream) return {};
        return {Audio.Stream(stream).Samples, sink->Words, sink->Marks};
    }
    uint64_t Prepare(const std::string& text, uint32_t flags = TTSDATAFLAG_TAGGED) {
        uint64_t id = 0;
        EXPECT_EQ(Central->Prepare(CHARSET_TEXT, flags, text.c_str(), uint32_t(text.size() + 1), Prepared, &id), S_OK);
        EXPECT_NE(id, 0u);
        return id;
    }

    TMemoryAudioOutput Audio;
    TQueuePoster Poster;
    TFliteTTSClasses Classes{Audio, Poster};
    std::shared_ptr<TFliteCentral> Central;
    std::shared_ptr<TRecordingPreparedSink> Prepared = std::make_shared<TRecordingPreparedSink>();
};

const char* const Phrase = "Hello there, how are you today? I am fine, thank you.";

double LengthRatio(const TSpoken& slow, const TSpoken& fast) {
    return fast.Samples.empty() ? 0 : double(slow.Samples.size()) / double(fast.Samples.size());
}

} // namespace

TEST_F(FliteCentralTest, TheSpeedFactorShortensTheSpeechOnTopOfTheSpeedAndIsHeldToItsRange) {
    const TSpoken normal = Speak(Phrase);
    Central->SpeedFactorSet(1.5);
    const TSpoken faster = Speak(Phrase);
    EXPECT_NEAR(LengthRatio(normal, faster), 1.5, 0.15);
    EXPECT_EQ(faster.Words, normal.Words);

    // On top of the fastest speed, which the voice alone never goes beyond.
    Central->Inject("\\Spd=400\\");
    Central->SpeedFactorSet(1);
    const TSpoken fastest = Speak(Phrase);
    Central->SpeedFactorSet(1.5);
    EXPECT_NEAR(LengthRatio(fastest, Speak(Phrase)), 1.5, 0.15);
    Central->Inject("\\Spd=170\\");

    double factor = 0;
    Central->SpeedFactorSet(9);
    Central->SpeedFactorGet(&factor);
    EXPECT_EQ(factor, 3);
    const TSpoken held = Speak(Phrase);
    Central->SpeedFactorSet(3);
    EXPECT_EQ(Speak(Phrase).Samples.size(), held.Samples.size());
    Central->SpeedFactorSet(std::numeric_limits<double>::quiet_NaN());
    Central->SpeedFactorGet(&factor);
    EXPECT_EQ(factor, 1);
    Central->SpeedFactorSet(0.5);
    Central->SpeedFactorGet(&factor);
    EXPECT_EQ(factor, 1);
    EXPECT_EQ(Speak(Phrase).Samples.size(), normal.Samples.size());
}

TEST_F(FliteCentralTest, APreparedTextIsHeardAsTheSameSpeechWithItsWordsAndMarksAndServesOnce) {
    const std::string text = "\\Spd=200\\Hello there. \\Mrk=7\\How are you today?";
    Central->SpeedFactorSet(1.25);
    const uint64_t id = Prepare(text);
    ASSERT_TRUE(PumpUntil([&] { return Prepared->Has(id); }));
    EXPECT_EQ(Central->PreparedCount(), 1u);
    const TSpoken fromMemory = Speak(text);
    EXPECT_EQ(Central->PreparedCount(), 0u);
    const TSpoken synthesised = Speak(text); // nothing prepared any more
    ASSERT_FALSE(synthesised.Samples.empty());
    EXPECT_EQ(fromMemory.Samples, synthesised.Samples);
    EXPECT_EQ(fromMemory.Words, synthesised.Words);
    EXPECT_EQ(fromMemory.Marks, std::vector<uint32_t>{7});
    // The length reported is how long it sounds: to its last audible sample.
    size_t end = synthesised.Samples.size();
    while (end > 0 && std::abs(int(synthesised.Samples[end - 1])) < 100) --end;
    const int rate = TFliteEngine::Shared()->Voices()[0].SampleRate;
    EXPECT_NEAR(double(Prepared->Reported[0].second), 1000.0 * double(end) / rate, 1.0);
    // The text's own tags still act on what follows, as when synthesised.
    uint32_t speed = 0;
    Central->SpeedGet(&speed);
    EXPECT_EQ(speed, 200u);
}

TEST_F(FliteCentralTest, OnlyATextWithTheSameSettingsTakesThePreparedOne) {
    uint16_t pitch = 0;
    Central->PitchGet(&pitch);
    const uint64_t id = Prepare("Hello there.");
    ASSERT_TRUE(PumpUntil([&] { return Prepared->Has(id); }));
    Speak("Hello there!");
    Central->SpeedFactorSet(1.5);
    Speak("Hello there.");
    Central->SpeedFactorSet(1);
    Speak("Hello there.", 0); // tags not read
    Central->Inject("\\Pit=150\\");
    Speak("Hello there.");
    Central->Inject(("\\Pit=" + std::to_string(pitch) + "\\\\Vol=65535\\").c_str());
    Speak("Hello there.");
    Central->Inject("\\Vol=4294967295\\");
    EXPECT_EQ(Central->PreparedCount(), 1u);
    Speak("Hello there.");
    EXPECT_EQ(Central->PreparedCount(), 0u);
}

TEST_F(FliteCentralTest, ATextStillBeingPreparedIsHeardWhole) {
    Select("slt");
    const std::string text = std::string(Phrase) + " " + Phrase;
    const TSpoken synthesised = Speak(text);
    Prepare(text);
    const TSpoken fromMemory = Speak(text); // at once, while its synthesis runs
    // The statistical voices excite unvoiced sounds with noise: the samples
    // differ from one synthesis to the next, and where the first sound
    // starts by a few of them.
    const double rate = Audio.Stream(0).Format.SampleRate;
    EXPECT_NEAR(double(fromMemory.Samples.size()), double(synthesised.Samples.size()), rate * 0.005);
    EXPECT_EQ(fromMemory.Words, synthesised.Words);
}

TEST_F(FliteCentralTest, TheStoreKeepsTheNewestTextsAndDiscardingStopsTheRest) {
    std::vector<uint64_t> ids;
    const size_t extra = 8;
    for (size_t i = 0; i < ITTSCentralAhead::MaxPrepared + extra; ++i)
        ids.push_back(Prepare("Word number " + std::to_string(i) + "."));
    EXPECT_EQ(Central->PreparedCount(), ITTSCentralAhead::MaxPrepared);
    ASSERT_TRUE(PumpUntil([&] { return Prepared->Reported.size() >= ITTSCentralAhead::MaxPrepared; }));
    PumpUntil([] { return false; }, 100ms);
    std::vector<uint64_t> reported;
    for (const auto& [id, ms] : Prepared->Reported) reported.push_back(id);
    EXPECT_EQ(reported, std::vector<uint64_t>(ids.begin() + extra, ids.end())); // the oldest eight went
    // ... and were reported as dropped, so that nobody waits for them.
    EXPECT_EQ(Prepared->DroppedIds, std::vector<uint64_t>(ids.begin(), ids.begin() + extra));

    Prepared->Reported.clear();
    for (int i = 0; i < 3; ++i) Prepare(Phrase);
    Central->DiscardPrepared();
    EXPECT_EQ(Central->PreparedCount(), 0u);
    const uint64_t after = Prepare("After.");
    ASSERT_TRUE(PumpUntil([&] { return Prepared->Has(after); }));
    EXPECT_EQ(Prepared->Reported.size(), 1u);
}

TEST_F(FliteCentralTest, ATextNotPreparedIsSynthesisedBeforeTheTextsPreparedAhead) {
    Select("slt");
    const std::string longText = std::string(Phrase) + " " + Phrase + " " + Phrase;
    for (int i = 0; i < 6; ++i) Prepare(longText + " " + std::to_string(i));
    const TSpoken live = Speak("Right now.");
    EXPECT_FALSE(live.Samples.empty());
    // Only the preparation running when it came (and perhaps the next, while
    // it was played) was done before it, not all six.
    EXPECT_LT(Prepared->Reported.size(), 3u);
    Central->DiscardPrepared();
}

TEST(FliteCentralFileTest, NothingIsPreparedForAFile) {
    TMemoryAudioOutput audio;
    TQueuePoster poster;
    TFliteTTSClasses classes(audio, poster);
    ASSERT_TRUE(classes.Installed());
    std::shared_ptr<ITTSCentralA> central;
    ASSERT_EQ(classes.CreateEnum()->Select(classes.ModeInfo(0).gModeID, &central, classes.CreateAudioFile()), S_OK);
    auto ahead = std::dynamic_pointer_cast<ITTSCentralAhead>(central);
    ASSERT_TRUE(ahead);
    uint64_t id = 99;
    EXPECT_EQ(ahead->Prepare(CHARSET_TEXT, 0, "Hello.", 7, nullptr, &id), E_UNEXPECTED);
    EXPECT_EQ(id, 0u);
}

TEST_F(FliteCentralTest, SpeechStartsWithItsFirstSoundAndAPauseAskedForIsKept) {
    auto loudest = [](const TSpoken& spoken, int fromMs, int toMs, int rate) {
        int peak = 0;
        for (size_t i = size_t(rate) * size_t(fromMs) / 1000; i < size_t(rate) * size_t(toMs) / 1000; ++i)
            if (i < spoken.Samples.size()) peak = std::max(peak, std::abs(int(spoken.Samples[i])));
        return peak;
    };
    for (const char* voice : {"kal16", "slt"}) {
        SCOPED_TRACE(voice);
        Select(voice);
        const TSpoken plain = Speak("Where were you?");
        const int rate = Audio.Stream(Audio.StreamCount() - 1).Format.SampleRate;
        EXPECT_GE(loudest(plain, 0, 4, rate), TFliteEngine::OnsetLevel);
        const TSpoken paused = Speak("\\Pau=300\\Where were you?");
        EXPECT_LT(loudest(paused, 0, 290, rate), TFliteEngine::OnsetLevel);
        EXPECT_GE(loudest(paused, 290, 600, rate), TFliteEngine::OnsetLevel);
    }
}

// Typographic marks used to be blanked before Flite got the text, so "I’m"
// was spoken "I m"; they are spoken as their ASCII forms are, as espeak-ng
// speaks them, and word positions count the bytes of the text as given.
TEST_F(FliteCentralTest, TypographicMarksAreSpokenAsTheirAsciiForms) {
    EXPECT_FALSE(Speak("I m sure.").Samples == Speak("I'm sure.").Samples); // what blanking did
    const std::string ascii = "I'm sure - \"quite\" sure... 'yes'.";
    const std::string marks = "I\x92m sure \x96 \x93quite\x94 sure\x85 \x91yes\x92."; // Windows-1252
    const TSpoken plain = Speak(ascii);
    ASSERT_FALSE(plain.Samples.empty());
    const TSpoken typographic = Speak(marks);
    EXPECT_TRUE(typographic.Samples == plain.Samples);
    // The ellipsis at byte 23 is one byte of the text given, not three.
    std::vector<uint32_t> words;
    for (uint32_t word : plain.Words) words.push_back(word > 23 ? word - 2 : word);
    EXPECT_EQ(typographic.Words, words);
    // The same synthesised ahead.
    const uint64_t id = Prepare(marks);
    ASSERT_TRUE(PumpUntil([&] { return Prepared->Has(id); }));
    const TSpoken prepared = Speak(marks);
    EXPECT_TRUE(prepared.Samples == plain.Samples);
    EXPECT_EQ(prepared.Words, words);
}

// In a double-byte system code page the marks are two bytes, and the bytes
// that are marks in Windows-1252 begin other characters.
TEST_F(FliteCentralTest, TypographicMarksOfADoubleByteCodePageAreSpokenTooAndNothingElse) {
    const TIconvCodec japanese(932);
    TFliteTTSClasses classes(Audio, Poster, TFliteEngine::Shared(), 0, &japanese);
    const TSpoken plain = Speak("I'm here, Tom.");
    Select("kal", classes);
    // "I’m here, Tom." with the Shift-JIS apostrophe 81 66; then with the
    // kanji 92 86, whose lead byte is an apostrophe in Windows-1252.
    const TSpoken typographic = Speak("I\x81\x66m here, Tom.");
    EXPECT_TRUE(typographic.Samples == plain.Samples);
    std::vector<uint32_t> words;
    for (uint32_t word : plain.Words) words.push_back(word > 1 ? word + 1 : word);
    EXPECT_EQ(typographic.Words, words);
    EXPECT_TRUE(Speak("I\x92\x86m here, Tom.").Samples == Speak("I  m here, Tom.").Samples);
}
