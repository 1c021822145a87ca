#pragma once
// The real window with the real espeak-ng voice on a private sound server
// (offscreen), for benchmarks that run it for a while; its playback ticks go
// through a wrapper that measures each one.

#include "app/ParlinoFmA.h"
#include "fakes/TFakePlatform.h"
#include "fakes/TPrivatePulseServer.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TLinuxWindowSystem.h"
#include "platform/linux/TMonotonicTickCounter.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "platform/linux/TPulseWaveOut.h"
#include "platform/linux/TUnixLineChannel.h"
#include "ui/TQtEventPoster.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace parlino::test {

using TClock = std::chrono::steady_clock;

inline double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

inline void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct TBenchWindow {
    explicit TBenchWindow(QApplication& app, const std::string& runtimeFolder) : Poster(&app) {
        Fake.Folders.Runtime = runtimeFolder;
        Window = std::make_unique<TfmParlinoA>(Platform, Speech, Players);
    }
    // Made before Speech, which takes a copy.
    TUbSmartSpeechBackends EspeakBackends() {
        TUbSmartSpeechBackends backends;
        backends.Sapi5Installed = [] { return TEspeakEngine::Shared()->Initialised(); };
        backends.CreateVoice = [this]() -> std::unique_ptr<ISpeechVoice> {
            return std::make_unique<TEspeakSpeechVoice>(Audio, Poster);
        };
        return backends;
    }
    ~TBenchWindow() { Window.reset(); }

    // From now on the window's ticks run through `measured`, which gets each
    // tick's duration.
    void MeasureTicks(std::function<void(TClock::duration)> measured) {
        Measured = std::move(measured);
        Window->Timer1->stop();
        QObject::disconnect(Window->DueTimer, nullptr, nullptr, nullptr);
        Timer.setInterval(100);
        const auto tick = [this] {
            const auto t = TClock::now();
            Window->Timer1Timer();
            Measured(TClock::now() - t);
        };
        QObject::connect(&Timer, &QTimer::timeout, tick);
        QObject::connect(Window->DueTimer, &QTimer::timeout, tick);
        Timer.start();
    }

    TPrivatePulseServer Server;
    TFakePlatform Fake;
    TMonotonicTickCounter Ticks;
    TPlatform Platform{Fake.Codec, Fake.Locale, Ticks, Fake.Folders, Fake.Shell, Fake.Messages};
    TLinuxWindowSystem Windows;
    TPlayerEnvironment Players{Windows, [] { return std::make_unique<TUnixLineChannel>(); }, nullptr};
    TPulseAudioOutput Audio{"parlino-bench"};
    TPulseWaveOut WaveOut{Audio, &Fake.Codec};
    TQtEventPoster Poster;
    TSpeechEnvironment Speech{EspeakBackends(), Poster, &WaveOut};
    std::unique_ptr<TfmParlinoA> Window;
    QTimer Timer;
    std::function<void(TClock::duration)> Measured;
};

} // namespace parlino::test
