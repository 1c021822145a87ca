#pragma once
// The legacy voice API over Flite: one engine mode per Flite voice, speed in
// words per minute, pitch in Hz, volume as a 16+16-bit level. Centrals speak
// into the audio layer (a sound card by its wave-out number) or into a WAV
// file; synthesis runs on the engine's worker, and every notification reaches
// its sink on the program's thread through the event poster.

#include "platform/IAudioOutput.h"
#include "platform/IEventPoster.h"
#include "platform/ITextCodec.h"
#include "platform/linux/TFliteEngine.h"
#include "speech/speech.h"

#include <memory>

namespace parlino {

class TFliteTTSClasses final : public ITTSClasses {
public:
    // `outputRate`: the rate streams are opened at (0: each voice's own).
    // `codec`: whose system code page the texts are in (null: Windows-1252).
    // The audio output, the poster and the codec must outlive every object
    // made here.
    TFliteTTSClasses(IAudioOutput& audio, IEventPoster& poster,
                     std::shared_ptr<TFliteEngine> engine = TFliteEngine::Shared(), int outputRate = 0,
                     const ITextCodec* codec = nullptr);

    // Null when Flite has no voices.
    std::shared_ptr<ITTSEnumA> CreateEnum() override;
    std::shared_ptr<IAudioMultiMediaDevice> CreateMultiMediaDevice() override;
    std::shared_ptr<IAudioFile> CreateAudioFile() override;

    bool Installed() const { return FEngine->Initialised(); }
    // The mode record of voice `index` of the engine.
    TTSModeInfoA ModeInfo(size_t index) const;

private:
    IAudioOutput& FAudio;
    IEventPoster& FPoster;
    std::shared_ptr<TFliteEngine> FEngine;
    int FOutputRate;
    const ITextCodec* FCodec;
};

} // namespace parlino
