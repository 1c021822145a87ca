// The window's services on Linux: iconv, the XDG folders and URL handler,
// PulseAudio, espeak-ng for the modern voices, Flite for the legacy ones,
// MPRIS and mpv's socket for the players, FFmpeg for film files.

#include "app/TAppServices.h"

#include "platform/linux/TEspeakEngine.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TFfmpegFilmReader.h"
#include "platform/linux/TFliteSpeech.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TLinuxLocaleInfo.h"
#include "platform/linux/TLinuxWindowSystem.h"
#include "platform/linux/TMonotonicTickCounter.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "platform/linux/TPulseWaveOut.h"
#include "platform/linux/TQtMprisBus.h"
#include "platform/linux/TUnixLineChannel.h"
#include "platform/linux/TWavFileStream.h"
#include "platform/linux/TXdgFolders.h"
#include "platform/linux/TXdgShell.h"
#include "speech/UbSpeech.h"

#include <cstdlib>

namespace parlino {

std::string TAppServices::StartProblem() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!platform || !*platform) && (!display || !*display) && (!wayland || !*wayland))
        return "parlino: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).";
    return {};
}

// Members in the order they need each other; they go in the reverse order.
struct TAppServices::TImpl {
    TImpl(IEventPoster& poster, IMessageBoxes& messages)
        : Services{Codec, Locale, Ticks, Folders, Shell, messages}, WaveOut(Audio, &Codec),
          Engine(TEspeakEngine::Shared()),
          FliteClasses(Audio, poster, TFliteEngine::Shared(), 0, &Codec),
          LegacySpeech(FliteClasses), Speech{Backends(poster), poster, &WaveOut},
          Players{Windows, [] { return std::make_unique<TUnixLineChannel>(); }, &Mpris, &Film} {}

    TUbSmartSpeechBackends Backends(IEventPoster& poster) {
        TUbSmartSpeechBackends backends;
        std::shared_ptr<TEspeakEngine> engine = Engine;
        backends.Sapi5Installed = [engine] { return engine->Initialised(); };
        backends.CreateVoice = [this, &poster, engine]() -> std::unique_ptr<ISpeechVoice> {
            return std::make_unique<TEspeakSpeechVoice>(Audio, poster, engine);
        };
        backends.CreateFileStream = [engine]() -> std::unique_ptr<ISpeechFileStream> {
            return std::make_unique<TWavFileStream>(engine->SampleRate());
        };
        // The legacy voices: Flite's engine modes, first in the voice list.
        backends.Sapi4Installed = [this] { return FliteClasses.Installed(); };
        backends.Sapi4Speech = &LegacySpeech;
        return backends;
    }

    TIconvCodec Codec;
    TLinuxLocaleInfo Locale;
    TMonotonicTickCounter Ticks;
    TXdgFolders Folders;
    TXdgShell Shell;
    TPlatform Services;
    TPulseAudioOutput Audio;
    TPulseWaveOut WaveOut;
    std::shared_ptr<TEspeakEngine> Engine;
    TFliteTTSClasses FliteClasses;
    TUbSpeech LegacySpeech;
    TSpeechEnvironment Speech;
    TLinuxWindowSystem Windows;
    TQtMprisBus Mpris;
    const TFfmpegFilmReader Film;
    TPlayerEnvironment Players;
};

TAppServices::TAppServices(IEventPoster& poster, IMessageBoxes& messages)
    : F(std::make_unique<TImpl>(poster, messages)) {}

TAppServices::~TAppServices() = default;

TPlatform& TAppServices::Platform() {
    return F->Services;
}
TSpeechEnvironment& TAppServices::Speech() {
    return F->Speech;
}
TPlayerEnvironment& TAppServices::Players() {
    return F->Players;
}

} // namespace parlino
