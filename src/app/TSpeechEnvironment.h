#pragma once
#include "platform/IEventPoster.h"
#include "speech/UbSmartSpeech.h"

namespace parlino {

class IWaveOut;

// The speech engines and sound devices one program instance runs on; the
// composition root fills it with the real ones, tests with fakes.
struct TSpeechEnvironment {
    TUbSmartSpeechBackends Backends;
    IEventPoster& Poster;
    IWaveOut* WaveOut = nullptr; // the sound card list; none: no devices
};

} // namespace parlino
