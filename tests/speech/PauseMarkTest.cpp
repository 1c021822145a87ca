// The pause mark of the dictionaries through the facade into the real voices
// of both families (espeak-ng's and Flite's), played into memory: a text with
// the mark lasts as long as the text without it plus the pause, and no word of
// the mark is spoken.

#include "fakes/TMemoryAudioOutput.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TFliteSpeech.h"
#include "platform/linux/TIconvCodec.h"
#include "speech/UbSmartSpeech.h"
#include "speech/UbSpeech.h"
#include "text/TextRules.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

using namespace parlino;
using namespace parlino::test;

namespace {

// The README's rule, as the shipped dictionaries' headers show it.
const TStringList ReadmeRule{"Stop=Stop.<#pau500>"};
const std::string Plain = "Stop. Go on now.";

struct TSpoken {
    double Ms = 0;      // the length of the speech played
    size_t Words = 0;   // word events
    bool Ended = false; // the voice came back to idle
};

class PauseMark : public ::testing::Test {
protected:
    void MakeEspeak() {
        TUbSmartSpeechBackends b;
        b.Sapi5Installed = [] { return TEspeakEngine::Shared()->Initialised(); };
        b.CreateVoice = [this]() -> std::unique_ptr<ISpeechVoice> {
            return std::make_unique<TEspeakSpeechVoice>(Audio, Poster);
        };
        Speech = std::make_unique<TUbSmartSpeech>(std::move(b), Codec, Poster);
        ASSERT_FALSE(Speech->Voices().empty());
        Speech->SelectVoice("");
        Hook();
    }
    void MakeFlite() {
        Classes = std::make_unique<TFliteTTSClasses>(Audio, Poster);
        ASSERT_TRUE(Classes->Installed());
        Legacy = std::make_unique<TUbSpeech>(*Classes);
        TUbSmartSpeechBackends b;
        b.Sapi4Installed = [] { return true; };
        b.Sapi4Speech = Legacy.get();
        Speech = std::make_unique<TUbSmartSpeech>(std::move(b), Codec, Poster);
        Speech->SelectVoice("Flite male, 8 kHz (kal)");
        Hook();
    }
    void TearDown() override {
        if (Speech) Speech->Stop();
        Poster.Pump();
        Speech.reset();
        Legacy.reset();
        Poster.Pump();
        Classes.reset();
    }
    void Hook() {
        Speech->OnWordPosition = [this](TUbSmartSpeech*, uint32_t) { ++FWords; };
        Speech->OnStart = [this](TUbSmartSpeech*) { FStarted = true; };
        Speech->OnStop = [this](TUbSmartSpeech*) { FStopped = FStarted; };
    }
    // Speaks `text` to its end, playing the sound into memory.
    TSpoken Speak(const std::string& text) {
        FWords = 0;
        FStarted = FStopped = false;
        const size_t stream = Audio.StreamCount();
        Speech->Text = {text};
        Speech->Speak();
        TSpoken spoken;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            Poster.Pump();
            if (FStopped && Speech->IsIdle()) {
                spoken.Ended = true;
                break;
            }
            Audio.Advance(20);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        uint64_t frames = 0;
        int rate = 1;
        for (size_t i = stream; i < Audio.StreamCount(); ++i) {
            const auto record = Audio.Stream(i);
            frames += record.WrittenFrames();
            rate = record.Format.SampleRate;
        }
        spoken.Ms = 1000.0 * static_cast<double>(frames) / rate;
        spoken.Words = FWords;
        return spoken;
    }
    // The text the dictionary pass hands on for `subtitle` with `rules`.
    std::string Rewritten(const std::string& subtitle, const TStringList& rules) {
        TStringList sorted = rules;
        SortRules(sorted);
        return ApplyRules(subtitle, sorted, Codec);
    }
    // Each text with a mark against the same text without it: both forms of
    // the README's mark (put in by a rule and kept as written; written in the
    // subtitle and handed on as the legacy pause tag), other lengths, the
    // legacy tag itself, and marks after a clause's end and within one.
    void ExpectPausesAsAsked(const char* family, double tolerance) {
        const std::string byRule = Rewritten("Stop Go on now.", ReadmeRule);
        ASSERT_EQ(byRule, "Stop.<#pau500> Go on now.");
        const std::string inText = Rewritten("Stop.<#pau500> Go on now.", {"x=y"});
        ASSERT_EQ(inText, "Stop..\\PAU=500\\. Go on now.");
        struct TCase {
            std::string Plain, Marked;
            double PauseMs;
        };
        const TCase cases[] = {
            {Plain, byRule, 500},
            {Plain, inText, 500},
            {Plain, "Stop.<#pau1200> Go on now.", 1200},
            {Plain, "Stop.\\Pau=800\\ Go on now.", 800},
            {"Go on, now.", "Go on, <#pau500>now.", 500},
            {"Go on? Now.", "Go on? <#pau500>Now.", 500},
            {"Go on now.", "Go on <#pau500>now.", 500},
            {"Go on now.", Rewritten("Go on <#pau500>now.", {"x=y"}), 500},
        };
        for (const TCase& c : cases) {
            const TSpoken plain = Speak(c.Plain);
            const TSpoken marked = Speak(c.Marked);
            std::printf("%s: \"%s\" %.0f ms, %zu words; \"%s\" %.0f ms, %zu words: %+.0f ms for %.0f\n", family,
                        c.Plain.c_str(), plain.Ms, plain.Words, c.Marked.c_str(), marked.Ms, marked.Words,
                        marked.Ms - plain.Ms, c.PauseMs);
            ASSERT_TRUE(plain.Ended && marked.Ended) << c.Marked;
            EXPECT_NEAR(marked.Ms - plain.Ms, c.PauseMs, tolerance) << c.Marked;
            EXPECT_EQ(marked.Words, plain.Words) << c.Marked; // no word of the mark
        }
    }

    TIconvCodec Codec{1252};
    TQueuePoster Poster;
    TMemoryAudioOutput Audio;
    std::unique_ptr<TFliteTTSClasses> Classes;
    std::unique_ptr<TUbSpeech> Legacy;
    std::unique_ptr<TUbSmartSpeech> Speech;

private:
    size_t FWords = 0;
    bool FStarted = false, FStopped = false;
};

} // namespace

TEST_F(PauseMark, EspeakVoicesPauseForTheTimeAskedAndSayNoneOfTheMark) {
    MakeEspeak();
    ExpectPausesAsAsked("espeak-ng", 150);
}

TEST_F(PauseMark, FliteVoicesPauseForTheTimeAskedAndSayNoneOfTheMark) {
    MakeFlite();
    ExpectPausesAsAsked("Flite", 150);
}
