// The legacy voice component on a scripted engine: selection with its guard
// and range probing, the parameter tags, speaking, and the flags that follow
// the engine's notifications.

#include "fakes/TQueuePoster.h"
#include "fakes/TScriptedTTS.h"
#include "platform/linux/TIconvCodec.h"
#include "speech/UbSmartSpeech.h"
#include "speech/UbSpeech.h"

#include <gtest/gtest.h>

using namespace parlino;
using namespace parlino::test;

namespace {

const char* const NotInitialized = "Speech Engine not initialized.\r\nPossibly, you need to set up\r\nMicrosoft\xAE SpeechAPI";

class UbSpeechTest : public ::testing::Test {
protected:
    UbSpeechTest() { Tts.State.Modes = {"Flite male (kal)", "Flite female (slt)", "Digalo Test"}; }
    TUbSpeech& Selected(const std::string& name = "Flite female (slt)") {
        Speech = std::make_unique<TUbSpeech>(Tts);
        Speech->SelectEngine(name);
        Tts.State.Log.clear();
        return *Speech;
    }
    TScriptedTTS Tts;
    std::unique_ptr<TUbSpeech> Speech;
};

} // namespace

TEST_F(UbSpeechTest, ListsModesInEnumerationOrderAndSelectsIgnoringLetterCase) {
    TUbSpeech speech(Tts);
    EXPECT_TRUE(speech.Initialized);
    EXPECT_EQ(speech.Engines, Tts.State.Modes);
    EXPECT_TRUE(speech.Ready());
    EXPECT_EQ(speech.DeviceNumber, -1);

    speech.SelectEngine("FLITE FEMALE (SLT)");
    EXPECT_TRUE(speech.EngineSelected);
    EXPECT_EQ(speech.EngineName, "FLITE FEMALE (SLT)");
    EXPECT_EQ(speech.EngineInfo.ModeName, "Flite female (slt)");
    EXPECT_EQ(speech.EngineInfo.MfgName, "Scripted");
    EXPECT_EQ(speech.EngineInfo.Gender, "FEMALE");
    EXPECT_EQ(speech.EngineInfo.Age, 42u);
    EXPECT_EQ(speech.EngineInfo.ModeID, "{00000002-0000-0000-0000-000000000000}");
    EXPECT_EQ(Tts.State.Log.back(), "Register");

    EXPECT_THROW(
        try { speech.SelectEngine("not installed"); } catch (const EMSpeechException& e) {
            EXPECT_STREQ(e.what(), "Specified Speech Engine not found");
            throw;
        },
        EMSpeechException);
    EXPECT_EQ(speech.EngineName, "");
}

TEST_F(UbSpeechTest, WithoutAnEnumeratorEverySelectionAndSpeakRaisesNotInitialized) {
    Tts.State.NoEnumerator = true;
    TUbSpeech speech(Tts);
    EXPECT_FALSE(speech.Initialized);
    EXPECT_TRUE(speech.Engines.empty());
    try {
        speech.SelectEngine("Flite male (kal)");
        FAIL();
    } catch (const EMSpeechException& e) {
        EXPECT_STREQ(e.what(), NotInitialized);
    }
    try {
        speech.Speak("hello");
        FAIL();
    } catch (const EMSpeechException& e) {
        EXPECT_STREQ(e.what(), NotInitialized);
    }
}

TEST_F(UbSpeechTest, ProbingReadsTheLimitsAndLeavesTheEngineAsItWas) {
    Tts.State.Pitch = 123, Tts.State.Speed = 155, Tts.State.RealTime = 77;
    TUbSpeech& speech = Selected();
    EXPECT_EQ(speech.EngineInfo.MinPitch, 50);
    EXPECT_EQ(speech.EngineInfo.MaxPitch, 400);
    EXPECT_EQ(speech.EngineInfo.MinSpeed, 60u);
    EXPECT_EQ(speech.EngineInfo.MaxSpeed, 400u);
    EXPECT_EQ(speech.EngineInfo.MinRealTime, 1u);
    EXPECT_EQ(speech.EngineInfo.MaxRealTime, 10000u);
    EXPECT_EQ(speech.EngineInfo.MinVolume, 0u);
    EXPECT_EQ(speech.EngineInfo.MaxVolume, 100u);
    EXPECT_EQ(Tts.State.Pitch, 123);
    EXPECT_EQ(Tts.State.Speed, 155u);
    EXPECT_EQ(Tts.State.RealTime, 77u);
    EXPECT_EQ(speech.LastSpeed, 155u);
    EXPECT_EQ(speech.LastPitch, 123u);
}

TEST_F(UbSpeechTest, AFailureWhileAttachingEndsInsideAndSpeakThenRaisesNotSelected) {
    Tts.State.FailSelect = true;
    TUbSpeech speech(Tts);
    EXPECT_NO_THROW(speech.SelectEngine("Flite male (kal)"));
    EXPECT_FALSE(speech.EngineSelected);
    EXPECT_EQ(speech.EngineName, "");
    try {
        speech.Speak("hello");
        FAIL();
    } catch (const EMSpeechException& e) {
        EXPECT_STREQ(e.what(), "Speech Engine not selected");
    }
}

TEST_F(UbSpeechTest, ParametersTravelAsInjectedTags) {
    TUbSpeech& speech = Selected();
    speech.SetVolume(0);
    speech.SetVolume(100);
    speech.SetVolume(50);
    speech.SetSpeed(220);
    speech.SetPitch(uint16_t(140));
    EXPECT_EQ(Tts.State.Log, (std::vector<std::string>{"Inject:\\Vol=0\\", "Inject:\\Vol=4294967295\\",
                                                       "Inject:\\Vol=2147450879\\", "Inject:\\Spd=220\\",
                                                       "Inject:\\Pit=140\\"}));
    Tts.State.Volume = 65535;
    EXPECT_EQ(speech.GetVolume(), 100);
    Tts.State.Volume = 0xFFFF0000u + 32767u; // only the low half counts
    EXPECT_EQ(speech.GetVolume(), 49);
    Tts.State.Volume = 0;
    EXPECT_EQ(speech.GetVolume(), 0);
}

TEST_F(UbSpeechTest, TwoSpeaksInARowBothReachTheEngineWithoutAReset) {
    TUbSpeech& speech = Selected();
    speech.DeviceNumber = 1;
    speech.UseTags = true;
    speech.Speak("first\r\n");
    speech.UseTags = false;
    speech.Text = {"second", "line"};
    speech.Speak();
    EXPECT_EQ(Tts.State.Log, (std::vector<std::string>{"DeviceNumSet:1", "SpeedFactor:1", "TextData:1:first\r\n",
                                                       "DeviceNumSet:1", "SpeedFactor:1",
                                                       "TextData:0:second\r\nline\r\n"}));
}

TEST_F(UbSpeechTest, ReadyAndPausedFollowTheEngineAndStopWhilePausedWaitsForAudioStop) {
    TUbSpeech& speech = Selected();
    int starts = 0, stops = 0;
    std::vector<uint32_t> words;
    speech.OnStart = [&] { ++starts; };
    speech.OnStop = [&] { ++stops; };
    speech.OnWordPosition = [&](uint32_t p) { words.push_back(p); };
    speech.Speak("hello world\r\n");
    EXPECT_TRUE(speech.Ready()); // until the engine reports the start of audio
    Tts.FireAudioStart();
    EXPECT_FALSE(speech.Ready());
    Tts.FireWord(6);
    EXPECT_EQ(speech.WordPosition, 6u);
    speech.Pause();
    EXPECT_TRUE(speech.Paused());
    speech.Stop();
    EXPECT_FALSE(speech.Paused());
    EXPECT_FALSE(speech.Ready());
    Tts.FireAudioStop();
    EXPECT_TRUE(speech.Ready());
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(words, std::vector<uint32_t>{6});
    EXPECT_EQ(Tts.State.Log.back(), "AudioReset");
}

TEST_F(UbSpeechTest, StopLeavesItIdleAtOnceAndTheLateReportOfTheResetEndsNoLaterText) {
    TUbSpeech& speech = Selected();
    speech.Speak("first\r\n");
    EXPECT_FALSE(speech.Idle()); // given to the engine, not heard yet
    Tts.FireAudioStart();
    speech.Stop();
    EXPECT_TRUE(speech.Idle());
    EXPECT_FALSE(speech.Ready()); // the engine has not reported the reset yet
    speech.Speak("second\r\n");
    EXPECT_FALSE(speech.Idle());
    Tts.FireAudioStop(false); // the reset audio's end
    EXPECT_FALSE(speech.Idle());
    Tts.FireAudioStart();
    Tts.FireAudioStop();
    EXPECT_TRUE(speech.Idle());
    speech.Speak(""); // a text without audio is done all the same
    EXPECT_FALSE(speech.Idle());
    Tts.State.LastBufSink->TextDataDone(0, 0);
    EXPECT_TRUE(speech.Idle());
}

TEST_F(UbSpeechTest, EngineFailuresOfPauseResumeAndStopReachTheCaller) {
    TUbSpeech& speech = Selected();
    Tts.State.FailAudioCalls = true;
    EXPECT_THROW(speech.Pause(), EMSpeechException);
    EXPECT_FALSE(speech.Paused());
    EXPECT_THROW(speech.Resume(), EMSpeechException);
    EXPECT_THROW(speech.Stop(), EMSpeechException);
}

TEST_F(UbSpeechTest, FileOutputThatCannotBeOpenedSpeaksNothingAndReportsNothing) {
    Speech = std::make_unique<TUbSpeech>(Tts);
    Speech->Output = TUbSpeechOutput::soFile;
    Speech->SelectEngine("Flite male (kal)");
    Speech->Filename = "/no/such/folder/out.wav";
    Speech->FileRealTime = 5;
    Tts.State.FailFileSet = true;
    EXPECT_NO_THROW(Speech->Speak("hello"));
    EXPECT_TRUE(Tts.State.Texts.empty());
    Tts.State.FailFileSet = false;
    Speech->Speak("hello");
    EXPECT_EQ(Tts.State.Texts, std::vector<std::string>{"hello"});
    Tts.FireAudioStart();
    Tts.FireAudioStop();
    EXPECT_EQ(Tts.State.Log.back(), "FileFlush");
    // A kind of output whose destination was not made at selection: nothing.
    Speech->Output = TUbSpeechOutput::soGeneral;
    Speech->Speak("not spoken");
    EXPECT_EQ(Tts.State.Texts.size(), 1u);
}

TEST_F(UbSpeechTest, ANewSelectionReplacesTheRegistrationAndOldSinksGoQuiet) {
    TUbSpeech& speech = Selected();
    int starts = 0;
    speech.OnStart = [&] { ++starts; };
    auto oldSinks = Tts.State.Sinks;
    speech.SelectEngine("Flite male (kal)");
    EXPECT_EQ(Tts.State.Log.front(), "UnRegister");
    for (auto& [key, sink] : oldSinks) sink->AudioStart(0);
    EXPECT_EQ(starts, 0);
    Tts.FireAudioStart();
    EXPECT_EQ(starts, 1);
    Speech.reset();
    EXPECT_TRUE(Tts.State.Sinks.empty()); // unregistered when the component goes
}

TEST_F(UbSpeechTest, TheSpeedFactorGoesWithEverySpeakAndPrepareAndPreparedTextsAreReported) {
    TUbSpeech& speech = Selected();
    std::vector<std::pair<uint64_t, int64_t>> reported;
    speech.OnPrepared = [&](uint64_t id, int64_t ms) { reported.emplace_back(id, ms); };
    speech.SpeedFactor = 1.5;
    speech.UseTags = false;
    const uint64_t id = speech.Prepare("hello there\r\n");
    EXPECT_EQ(id, 1u);
    speech.UseTags = true;
    speech.SpeedFactor = 2;
    speech.Speak("hello there\r\n");
    speech.DiscardPrepared();
    EXPECT_EQ(Tts.State.Log, (std::vector<std::string>{"SpeedFactor:1.5", "Prepare:0:hello there\r\n",
                                                       "DeviceNumSet:4294967295", "SpeedFactor:2",
                                                       "TextData:1:hello there\r\n", "DiscardPrepared"}));
    Tts.FirePrepared(id, 1234);
    EXPECT_EQ(reported, (std::vector<std::pair<uint64_t, int64_t>>{{1, 1234}}));
    // A sink of an earlier selection reaches nobody.
    auto oldSink = Tts.State.LastPreparedSink;
    speech.SelectEngine("Flite male (kal)");
    oldSink->Prepared(7, 1);
    EXPECT_EQ(reported.size(), 1u);
}

TEST_F(UbSpeechTest, NothingIsPreparedForAFileAnEngineWithoutTheAdditionOrNoSelection) {
    Speech = std::make_unique<TUbSpeech>(Tts);
    EXPECT_EQ(Speech->Prepare("hello"), 0u); // nothing selected
    EXPECT_NO_THROW(Speech->DiscardPrepared());
    Speech->Output = TUbSpeechOutput::soFile;
    Speech->SelectEngine("Flite male (kal)");
    EXPECT_EQ(Speech->Prepare("hello"), 0u);
    Tts.State.Ahead = false;
    Speech->Output = TUbSpeechOutput::soGeneral;
    Speech->SelectEngine("Flite male (kal)");
    Tts.State.Log.clear();
    EXPECT_EQ(Speech->Prepare("hello"), 0u);
    Speech->Speak("hello");
    EXPECT_EQ(Tts.State.Log, (std::vector<std::string>{"DeviceNumSet:4294967295", "TextData:1:hello"}));
}

// The facade over the component: legacy voices come first and take their
// ranges from the engine when selected.
TEST_F(UbSpeechTest, TheFacadeListsLegacyVoicesFirstAndSendsTheLowPitchBits) {
    TUbSpeech legacy(Tts);
    TIconvCodec codec(1252);
    TQueuePoster poster;
    TUbSmartSpeechBackends backends;
    backends.Sapi4Installed = [] { return true; };
    backends.Sapi4Speech = &legacy;
    TUbSmartSpeech facade(std::move(backends), codec, poster);
    EXPECT_EQ(facade.VoiceNames(), Tts.State.Modes);
    facade.SelectVoice("flite female (SLT)");
    EXPECT_EQ(facade.GetInfo().PitchMin, 50);
    EXPECT_EQ(facade.GetInfo().PitchMax, 400);
    EXPECT_EQ(facade.GetInfo().SpeedMin, 60);
    EXPECT_EQ(facade.GetInfo().SpeedMax, 400);
    Tts.State.Log.clear();
    facade.SetPitch(70000);
    EXPECT_EQ(Tts.State.Log, std::vector<std::string>{"Inject:\\Pit=4464\\"});
    facade.Text = {"a"};
    facade.Speak();
    EXPECT_FALSE(facade.IsIdle()); // busy from the Speak on, not only once audio starts
    Tts.FireAudioStart();
    EXPECT_FALSE(facade.IsIdle());
    Tts.FireAudioStop();
    EXPECT_TRUE(facade.IsIdle());
}
