#pragma once
// The main window on fakes: a fake platform and players, a queue poster the
// test pumps, a fake sound card list with "Speakers" and "Headset", three
// fake voices; failures reported to the window are collected in Errors.

#include "app/ParlinoFmA.h"
#include "fakes/TFakePlatform.h"
#include "fakes/TFakePlayers.h"
#include "fakes/TFakeSpeechVoice.h"
#include "fakes/TFakeWaveOut.h"
#include "fakes/TQueuePoster.h"
#include "ui/QtTestApp.h"

#include <gtest/gtest.h>

namespace parlino::test {

class TWindowWithFakes : public ::testing::Test {
protected:
    void SetUp() override {
        QtApp();
        SetErrorHook([this](const std::string& m) { Errors.push_back(m); });
        WaveOut.Devices = {{"Speakers"}, {"Headset"}};
    }
    void TearDown() override {
        Window.reset();
        SetErrorHook(nullptr);
    }
    TfmParlinoA& Start() {
        Window.reset();
        Window = std::make_unique<TfmParlinoA>(Fake.Platform, Env, Players.Environment);
        return *Window;
    }

    TFakePlatform Fake;
    TFakePlayers Players;
    TQueuePoster Poster;
    TFakeWaveOut WaveOut;
    TFakeSpeechVoice* Voice = nullptr;
    TSpeechEnvironment Env{FakeVoiceBackends(3, &Voice), Poster, &WaveOut};
    std::vector<std::string> Errors;
    std::unique_ptr<TfmParlinoA> Window;
};

} // namespace parlino::test
