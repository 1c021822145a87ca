#pragma once
// What the speech facade needs of the legacy voice component: its engine
// modes, engine selection with the ranges read back, the three parameters,
// speaking with its output settings, pause, resume and reset, the ready and
// paused flags, and its start, stop and word events.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace parlino {

enum class TUbSpeechOutput { soGeneral, soFile };

class IUbSpeech {
public:
    virtual ~IUbSpeech() = default;

    // Engine mode names, in the component's order.
    virtual std::vector<std::string> EngineModeNames() = 0;
    // Selects the mode of that name and reads its ranges; throws
    // EParlinoError with the component's message when it cannot.
    virtual void SelectEngine(const std::string& name) = 0;
    virtual int32_t SpeedMin() const = 0;
    virtual int32_t SpeedMax() const = 0;
    virtual int32_t PitchMin() const = 0;
    virtual int32_t PitchMax() const = 0;

    virtual int32_t GetSpeed() = 0;
    virtual void SetSpeed(int32_t value) = 0;
    virtual int32_t GetPitch() = 0;
    virtual void SetPitch(uint16_t value) = 0;
    virtual int32_t GetVolume() = 0; // percent
    virtual void SetVolume(int32_t percent) = 0;

    // Output settings for the next Speak.
    TUbSpeechOutput Output = TUbSpeechOutput::soGeneral;
    int32_t DeviceNumber = -1;
    std::string Filename;
    uint16_t FileRealTime = 0;
    bool UseTags = true;
    virtual void Speak(const std::string& text) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void Stop() = 0; // resets the audio

    virtual bool Ready() const = 0;
    virtual bool Paused() const = 0;
    // Nothing to be heard is in progress: no audio, and no text given since
    // the last reset still waiting to be heard. True as soon as Stop returns,
    // while the engine's own report of the reset comes later.
    virtual bool Idle() const { return Ready(); }

    // Speaking faster and synthesis ahead, as the modern voice API has them:
    // the factor multiplies the speed that the attributes and the text's tags
    // give, from the next Speak or Prepare on. Prepare synthesises `text` as
    // Speak would, with the settings of now, into memory off the program's
    // thread and raises OnPrepared with its spoken length; a later Speak of
    // the same text with the same settings plays that audio. Prepare returns
    // the id (never 0), or 0 when it cannot prepare (file output). A
    // duration of -1 reports a text dropped before it was done.
    double SpeedFactor = 1.0;
    virtual uint64_t Prepare(const std::string& text) = 0;
    virtual void DiscardPrepared() = 0;
    std::function<void(uint64_t prepareId, int64_t durationMs)> OnPrepared;

    std::function<void()> OnStart;
    std::function<void()> OnStop;
    std::function<void(uint32_t position)> OnWordPosition;
};

} // namespace parlino
