#pragma once
// The real window with the real voice on a private sound server whose sink
// is recorded, and the real player services (the command socket, a private
// session bus): what end-to-end tests of the window start from.

#include "app/ParlinoFmA.h"
#include "fakes/TFakePlatform.h"
#include "fakes/TPrivatePulseServer.h"
#include "fakes/TRealPlayers.h"
#include "fakes/WriteSrt.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TFfmpegFilmReader.h"
#include "platform/linux/TFliteSpeech.h"
#include "platform/linux/TLinuxWindowSystem.h"
#include "platform/linux/TMonotonicTickCounter.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "platform/linux/TPulseWaveOut.h"
#include "platform/linux/TQtMprisBus.h"
#include "platform/linux/TUnixLineChannel.h"
#include "speech/UbSpeech.h"
#include "ui/QtEventWait.h"
#include "ui/QtTestApp.h"
#include "ui/TQtEventPoster.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace parlino::test {

inline std::string WriteSrt(const std::string& name, const std::vector<std::pair<int, std::string>>& entries) {
    return WriteSrtFile(::testing::TempDir() + "/" + name, entries);
}

class TWindowE2E : public ::testing::Test {
protected:
    void SetUp() override {
        QtApp();
        char folder[] = "/tmp/parlino-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        Folder = folder;
        Fake.Folders.Runtime = Folder;
        ASSERT_NO_THROW(Server = std::make_unique<TPrivatePulseServer>());
        ASSERT_NO_THROW(Bus = std::make_unique<TPrivateSessionBus>(Folder));
        Mpris = std::make_unique<TQtMprisBus>();
        Players = std::make_unique<TPlayerEnvironment>(
            TPlayerEnvironment{Windows, [] { return std::make_unique<TUnixLineChannel>(); }, Mpris.get(), &FilmReader});
        Audio = std::make_unique<TPulseAudioOutput>("parlino-e2e");
        WaveOut = std::make_unique<TPulseWaveOut>(*Audio, &Fake.Codec);
        Poster = std::make_unique<TQtEventPoster>(&QtApp());
        TUbSmartSpeechBackends b;
        b.Sapi5Installed = [] { return TEspeakEngine::Shared()->Initialised(); };
        b.CreateVoice = [this]() -> std::unique_ptr<ISpeechVoice> {
            return std::make_unique<TEspeakSpeechVoice>(*Audio, *Poster);
        };
        if (WithFliteVoices) {
            // As the program has them: Flite's voices first in the list.
            FliteClasses = std::make_unique<TFliteTTSClasses>(*Audio, *Poster);
            Legacy = std::make_unique<TUbSpeech>(*FliteClasses);
            b.Sapi4Installed = [this] { return FliteClasses->Installed(); };
            b.Sapi4Speech = Legacy.get();
        }
        Env = std::make_unique<TSpeechEnvironment>(TSpeechEnvironment{b, *Poster, WaveOut.get()});
        SetErrorHook([this](const std::string& m) { Errors.push_back(m); });
        Window = std::make_unique<TfmParlinoA>(Platform, *Env, *Players);
        Window->show();
        Rec = &Server->Record("test");
    }
    void TearDown() override {
        Window.reset();
        Wait(50);
        SetErrorHook(nullptr);
        Env.reset();
        Legacy.reset();
        Wait(20);
        FliteClasses.reset();
        WaveOut.reset();
        Audio.reset();
        Players.reset();
        Mpris.reset();
        Bus.reset();
        Server.reset();
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
    }
    double HeardMs(TClock::time_point from, TClock::time_point to) {
        Rec->WaitUntilRecorded(to);
        return Rec->SoundMs(from, to);
    }

    // Set by a test class's constructor: the window also gets Flite's voices.
    bool WithFliteVoices = false;
    std::string Folder;
    TFakePlatform Fake;
    TLinuxWindowSystem Windows;
    TFfmpegFilmReader FilmReader;
    TMonotonicTickCounter Ticks;
    TPlatform Platform{Fake.Codec, Fake.Locale, Ticks, Fake.Folders, Fake.Shell, Fake.Messages};
    std::unique_ptr<TPrivatePulseServer> Server;
    std::unique_ptr<TPrivateSessionBus> Bus;
    std::unique_ptr<TQtMprisBus> Mpris;
    std::unique_ptr<TPlayerEnvironment> Players;
    std::unique_ptr<TPulseAudioOutput> Audio;
    std::unique_ptr<TPulseWaveOut> WaveOut;
    std::unique_ptr<TQtEventPoster> Poster;
    std::unique_ptr<TFliteTTSClasses> FliteClasses;
    std::unique_ptr<TUbSpeech> Legacy;
    std::unique_ptr<TSpeechEnvironment> Env;
    std::unique_ptr<TfmParlinoA> Window;
    TMonitorRecording* Rec = nullptr;
    std::vector<std::string> Errors;
};

} // namespace parlino::test
