// The window's services on Windows: the system's code pages, shell folders
// and "open", the tick counter, the locale, the wave-out devices, SAPI 5 on
// the system's audio and SAPI 4 through COM for the voices, and the Win32
// window functions for Media Player Classic. No session bus, no mpv socket
// (mpv listens on a named pipe on Windows) and no film reader in this build.

#include "app/TAppServices.h"

#include "platform/TNoFilmReader.h"
#include "platform/TNoLineChannel.h"
#include "platform/win/TSapi4Classes.h"
#include "platform/win/TSapi5Voice.h"
#include "platform/win/TWinCodec.h"
#include "platform/win/TWinFolders.h"
#include "platform/win/TWinLocaleInfo.h"
#include "platform/win/TWinShell.h"
#include "platform/win/TWinTickCounter.h"
#include "platform/win/TWinWaveOut.h"
#include "platform/win/TWinWindowSystem.h"
#include "speech/UbSpeech.h"

#include <optional>

namespace parlino {

std::string TAppServices::StartProblem() {
    return {};
} // a Windows desktop is always there

// Members in the order they need each other; they go in the reverse order.
struct TAppServices::TImpl {
    TImpl(IEventPoster& poster, IMessageBoxes& messages)
        : Services{Codec, Locale, Ticks, Folders, Shell, messages},
          Classes(poster), Speech{Backends(poster), poster, &WaveOut},
          Players{Windows, [] { return std::make_unique<TNoLineChannel>(); }, nullptr, &Film} {}

    TUbSmartSpeechBackends Backends(IEventPoster& poster) {
        TUbSmartSpeechBackends backends;
        // The registry is asked once per process, as the facade's checks do.
        const bool sapi5 = Sapi5ClassRegistered();
        backends.Sapi5Installed = [sapi5] { return sapi5; };
        backends.CreateVoice = [&poster]() -> std::unique_ptr<ISpeechVoice> {
            return std::make_unique<TSapi5Voice>(poster);
        };
        backends.CreateFileStream = []() -> std::unique_ptr<ISpeechFileStream> {
            return std::make_unique<TSapi5FileStream>();
        };
        // The legacy voices, first in the voice list, when SAPI 4 is there.
        if (Sapi4ClassRegistered()) {
            LegacySpeech.emplace(Classes);
            backends.Sapi4Installed = [] { return true; };
            backends.Sapi4Speech = &*LegacySpeech;
        }
        return backends;
    }

    TWinCodec Codec;
    TWinLocaleInfo Locale;
    TWinTickCounter Ticks;
    TWinFolders Folders;
    TWinShell Shell;
    TPlatform Services;
    TWinWaveOut WaveOut;
    TSapi4Classes Classes;
    std::optional<TUbSpeech> LegacySpeech;
    TSpeechEnvironment Speech;
    TWinWindowSystem Windows;
    const TNoFilmReader Film;
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
