// Manual playback in the real window with the real voice, a private sound
// server and a recording of its sink: each subtitle must be heard when it is
// due. Prints the measured onset of every subtitle against its due time.

#include "app/ParlinoFmA.h"
#include "fakes/TFakePlatform.h"
#include "fakes/TPrivatePulseServer.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TMonotonicTickCounter.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "platform/linux/TPulseWaveOut.h"
#include "ui/QtTestApp.h"
#include "ui/TQtEventPoster.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs the event loop (ticks, engine events) for `ms`.
void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string WriteSrt(const std::string& name, const std::vector<std::pair<int, std::string>>& entries) {
    const std::string path = ::testing::TempDir() + "/" + name;
    std::ofstream out(path, std::ios::binary);
    int n = 1;
    for (const auto& [ms, text] : entries) {
        char line[64];
        std::snprintf(line, sizeof line, "%02d:%02d:%02d,%03d --> %02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60,
                      ms / 1000 % 60, ms % 1000, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60 + 1, ms % 1000);
        out << n++ << "\r\n" << line << "\r\n" << text << "\r\n\r\n";
    }
    return path;
}

class ManualPlaybackE2E : public ::testing::Test {
protected:
    void SetUp() override {
        QtApp();
        ASSERT_NO_THROW(Server = std::make_unique<TPrivatePulseServer>());
        Audio = std::make_unique<TPulseAudioOutput>("parlino-e2e");
        WaveOut = std::make_unique<TPulseWaveOut>(*Audio, &Fake.Codec);
        Poster = std::make_unique<TQtEventPoster>(&QtApp());
        TUbSmartSpeechBackends b;
        b.Sapi5Installed = [] { return TEspeakEngine::Shared()->Initialised(); };
        b.CreateVoice = [this]() -> std::unique_ptr<ISpeechVoice> {
            return std::make_unique<TEspeakSpeechVoice>(*Audio, *Poster);
        };
        Env = std::make_unique<TSpeechEnvironment>(TSpeechEnvironment{b, *Poster, WaveOut.get()});
        SetErrorHook([this](const std::string& m) { Errors.push_back(m); });
        Window = std::make_unique<TfmParlinoA>(Platform, *Env);
        Window->show();
        Rec = &Server->Record("test");
    }
    void TearDown() override {
        Window.reset();
        Wait(50);
        SetErrorHook(nullptr);
        Env.reset();
        WaveOut.reset();
        Audio.reset();
        Server.reset();
    }
    // Loads the entries and plays them from row 1; returns the moment Play was
    // pressed, when the clock stood at -200 ms.
    TClock::time_point PlayFromRowOne(const std::vector<std::pair<int, std::string>>& entries, const char* name) {
        Window->LoadSubtitles(WriteSrt(name, entries));
        Window->rbManual->click();
        Window->sg1->setCurrentIndex(Window->GridModel->index(0, 1));
        const auto t0 = TClock::now();
        Window->btPlay->click();
        return t0;
    }
    // When the clock that stood at -200 ms at `t0` reaches `position`.
    static TClock::time_point AtPosition(TClock::time_point t0, int position) {
        return t0 + std::chrono::milliseconds(position + 200);
    }
    double HeardMs(TClock::time_point from, TClock::time_point to) {
        Rec->WaitUntilRecorded(to);
        return Rec->SoundMs(from, to);
    }

    TFakePlatform Fake;
    TMonotonicTickCounter Ticks;
    TPlatform Platform{Fake.Codec, Fake.Locale, Ticks, Fake.Folders, Fake.Shell, Fake.Messages};
    std::unique_ptr<TPrivatePulseServer> Server;
    std::unique_ptr<TPulseAudioOutput> Audio;
    std::unique_ptr<TPulseWaveOut> WaveOut;
    std::unique_ptr<TQtEventPoster> Poster;
    std::unique_ptr<TSpeechEnvironment> Env;
    std::unique_ptr<TfmParlinoA> Window;
    TMonitorRecording* Rec = nullptr;
    std::vector<std::string> Errors;
};

} // namespace

TEST_F(ManualPlaybackE2E, EverySubtitleIsHeardWhenItIsDue) {
    ASSERT_EQ(Window->cbDevice->count(), 3); // "(default)" and the two sinks
    EXPECT_EQ(Window->cbDevice->itemText(1), "Test");
    const std::vector<std::pair<int, std::string>> entries{
        {1000, "One."}, {3000, "Two."}, {5000, "Three."}, {7000, "Four."}};
    const auto t0 = PlayFromRowOne(entries, "due.srt");
    Wait(8200);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    std::printf("subtitle  start_ms  due_ms  onset_ms  onset-due_ms\n");
    for (const auto& [start, text] : entries) {
        // Due at the first tick that finds the clock less than a second before the start.
        const auto due = AtPosition(t0, start - 999);
        const auto onset = Rec->FirstSound(due - 100ms, AtPosition(t0, start + 1000));
        ASSERT_TRUE(onset.has_value()) << text << " was not heard";
        const double late = Ms(*onset - due);
        std::printf("%-9s %8d %7d %9.0f %13.0f\n", text.c_str(), start, start - 999, Ms(*onset - t0) - 200, late);
        EXPECT_GE(late, -20) << text << " spoken before it was due";
        EXPECT_LE(late, 100 + 50) << text << " later than one tick plus 50 ms";
    }
}

TEST_F(ManualPlaybackE2E, PauseSilencesTheVoiceAndPlayResumesIt) {
    const auto t0 = PlayFromRowOne(
        {{500, "This subtitle is long enough to be paused in the middle of its words and resumed afterwards."}},
        "pause.srt");
    Wait(1500);
    const auto pausedAt = TClock::now();
    Window->btPause->click();
    Wait(1000);
    const auto playedAt = TClock::now();
    Window->btPlay->click();
    Wait(600);
    ASSERT_TRUE(Rec->FirstSound(t0, pausedAt).has_value());
    const auto lastBeforePause = Rec->LastSound(t0, pausedAt + 400ms);
    ASSERT_TRUE(lastBeforePause.has_value());
    std::printf("silent %.0f ms after Pause\n", Ms(*lastBeforePause - pausedAt));
    EXPECT_LE(*lastBeforePause - pausedAt, 150ms); // at the next tick, plus 50 ms
    EXPECT_FALSE(Rec->FirstSound(pausedAt + 200ms, playedAt - 10ms).has_value());
    const auto again = Rec->FirstSound(playedAt, playedAt + 600ms);
    ASSERT_TRUE(again.has_value());
    std::printf("heard again %.0f ms after Play\n", Ms(*again - playedAt));
    EXPECT_LE(*again - playedAt, 150ms);
}

TEST_F(ManualPlaybackE2E, ADoubleClickJumpsAndTheClickedSubtitleIsSpokenFirst) {
    PlayFromRowOne({{500, "First."}, {20000, "Far away."}, {40000, "Even further."}}, "jump.srt");
    Wait(1500);
    Window->sg1->setCurrentIndex(Window->GridModel->index(3, 1)); // "Even further."
    const auto clickedAt = TClock::now();
    Window->sg1DblClick();
    Wait(1500);
    const auto heard = Rec->FirstSound(clickedAt, clickedAt + 1500ms);
    ASSERT_TRUE(heard.has_value());
    std::printf("heard %.0f ms after the double-click\n", Ms(*heard - clickedAt));
    EXPECT_LE(*heard - clickedAt, 250ms);
    EXPECT_TRUE(Window->Items[3].Spoken);
    EXPECT_FALSE(Window->Items[2].Spoken); // the entries between were jumped over
    EXPECT_GE(Window->Controller->Connection->GetPosition(), 40000 - 200);
}

TEST_F(ManualPlaybackE2E, UntickedQueueCutsOffFastSubtitles) {
    const std::vector<std::pair<int, std::string>> fast{
        {1000, "The first subtitle goes on and on for a long while."},
        {1400, "The second one cuts in."},
        {1800, "The third one is heard to the end."}};
    const auto t0 = PlayFromRowOne(fast, "queued.srt");
    Wait(9000);
    const double queued = HeardMs(t0, TClock::now());
    Window->btStop->click();
    Window->chkCompleteSpeech->setChecked(false);
    const auto t1 = PlayFromRowOne(fast, "cut.srt");
    Wait(6000);
    const double cut = HeardMs(t1, TClock::now());
    std::printf("all three queued: %.0f ms of speech; each cutting the one before: %.0f ms\n", queued, cut);
    EXPECT_LT(cut, queued * 0.75);
    EXPECT_TRUE(Errors.empty());
}
