#include "app/CommandLine.h"
#include "app/ParlinoFmA.h"
#include "app/TParlinoApplication.h"
#include "platform/linux/TEspeakEngine.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TFliteSpeech.h"
#include "platform/linux/TFfmpegFilmReader.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TLinuxWindowSystem.h"
#include "platform/linux/TLinuxLocaleInfo.h"
#include "platform/linux/TMonotonicTickCounter.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "platform/linux/TPulseWaveOut.h"
#include "platform/linux/TQtMprisBus.h"
#include "platform/linux/TUnixLineChannel.h"
#include "platform/linux/TWavFileStream.h"
#include "platform/linux/TXdgFolders.h"
#include "platform/linux/TXdgShell.h"
#include "speech/UbSpeech.h"
#include "ui/TQtEventPoster.h"
#include "ui/TQtMessageBoxes.h"
#include "ui/TShutdownSignals.h"

#include <QSessionManager>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

// The composition root: the real platform services, speech engines and sound
// devices, the application object and the main window.
int main(int argc, char** argv) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!platform || !*platform) && (!display || !*display) && (!wayland || !*wayland)) {
        std::fprintf(stderr, "parlino: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n");
        return 1;
    }
    using namespace parlino;
    TIconvCodec codec;
    TLinuxLocaleInfo locale;
    TMonotonicTickCounter ticks;
    TXdgFolders folders;
    TXdgShell shell;
    TQtMessageBoxes messages;
    TPlatform services{codec, locale, ticks, folders, shell, messages};

    TParlinoApplication app(argc, argv); // takes the toolkit's own arguments out of argv
    const TCommandLine commandLine = ParseCommandLine({argv + 1, argv + argc});
    if (!commandLine.Error.empty()) {
        std::fprintf(stderr, "%s\n", commandLine.Error.c_str());
        return 2;
    }
    // SIGTERM, SIGINT and SIGHUP end the program the way File / Exit does:
    // the main window closes and its destruction saves the settings. Leaving
    // every event loop also ends a modal box that happens to be open.
    TfmParlinoA* mainWindow = nullptr;
    bool shutdownRequested = false;
    TShutdownSignals shutdownSignals([&mainWindow, &shutdownRequested] {
        shutdownRequested = true;
        if (mainWindow) mainWindow->close();
        QCoreApplication::exit(0);
    });
    TQtEventPoster poster(&app);
    TPulseAudioOutput audio;
    TPulseWaveOut waveOut(audio, &codec);
    std::shared_ptr<TEspeakEngine> engine = TEspeakEngine::Shared();
    TUbSmartSpeechBackends backends;
    backends.Sapi5Installed = [engine] { return engine->Initialised(); };
    backends.CreateVoice = [&audio, &poster, engine]() -> std::unique_ptr<ISpeechVoice> {
        return std::make_unique<TEspeakSpeechVoice>(audio, poster, engine);
    };
    backends.CreateFileStream = [engine]() -> std::unique_ptr<ISpeechFileStream> {
        return std::make_unique<TWavFileStream>(engine->SampleRate());
    };
    // The legacy voices: Flite's engine modes, first in the voice list.
    TFliteTTSClasses fliteClasses(audio, poster, TFliteEngine::Shared(), 0, &codec);
    TUbSpeech legacySpeech(fliteClasses);
    backends.Sapi4Installed = [&fliteClasses] { return fliteClasses.Installed(); };
    backends.Sapi4Speech = &legacySpeech;
    TSpeechEnvironment speech{backends, poster, &waveOut};

    TLinuxWindowSystem windows;
    TQtMprisBus mpris;
    const TFfmpegFilmReader film;
    TPlayerEnvironment players{windows, [] { return std::make_unique<TUnixLineChannel>(); }, &mpris, &film};

    TfmParlinoA fmParlinoA(services, speech, players);
    mainWindow = &fmParlinoA;
    // The desktop session is ending (or may end): keep the user's choices now.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &fmParlinoA,
                     [&fmParlinoA](QSessionManager&) { fmParlinoA.SaveSettings(); });
    if (shutdownRequested) return 0; // asked to end while the window was being made
    fmParlinoA.show();
    // A file given on the command line is loaded once the window shows, so a
    // failure's message box stands over it.
    if (commandLine.FileName)
        QTimer::singleShot(0, &fmParlinoA, [&fmParlinoA, &commandLine] { fmParlinoA.OpenFile(*commandLine.FileName); });
    return app.exec();
}
