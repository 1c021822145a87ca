#pragma once
// The speech facade: one object over the modern and the legacy voice APIs,
// with the merged voice list, the selected voice, speed, pitch and volume in
// the selected engine's own units, the engine mark-up, and asynchronous
// speaking with start, stop and word events. Everything runs on the
// program's thread; engine events arrive there through the voice's poster.

#include "platform/IEventPoster.h"
#include "platform/ITextCodec.h"
#include "speech/SpeechLib_TLB.h"
#include "speech/UbSpeechIntf.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace parlino {

struct TUbSmartSpeechVoiceInfo {
    TSpeechObjectToken Token; // empty for legacy voices
    int32_t SpeedMax = 0, SpeedMin = 0;
    int32_t PitchMax = 0, PitchMin = 0;
    int32_t VolumeMax = 0, VolumeMin = 0;
    std::string Name;
    bool IsSapi4() const { return !Token; }
    bool IsSapi5() const { return static_cast<bool>(Token); }
};

enum class TUbSmartSpeechOutput { ssoFile, ssoGeneral };

// The engines the facade works with. Each part may be missing: a voice
// factory that is empty or whose engine did not initialise means no modern
// voices, a null legacy component means no legacy voices.
struct TUbSmartSpeechBackends {
    std::function<bool()> Sapi5Installed;
    std::function<std::unique_ptr<TSpVoice>()> CreateVoice;
    std::function<std::unique_ptr<TSpFileStream>()> CreateFileStream;
    std::function<bool()> Sapi4Installed;
    IUbSpeech* Sapi4Speech = nullptr; // not owned
};

class TUbSmartSpeech {
public:
    TUbSmartSpeech(TUbSmartSpeechBackends backends, const ITextCodec& codec, IEventPoster& poster);
    ~TUbSmartSpeech();
    TUbSmartSpeech(const TUbSmartSpeech&) = delete;
    TUbSmartSpeech& operator=(const TUbSmartSpeech&) = delete;

    using TVoiceList = std::vector<std::pair<std::string, std::unique_ptr<TUbSmartSpeechVoiceInfo>>>;
    const TVoiceList& Voices() const { return FVoices; }
    std::vector<std::string> VoiceNames() const;
    const std::vector<std::pair<std::string, TSpeechObjectToken>>& AudioOutputs() const { return FAudioOutputs; }

    void LoadVoices();
    void LoadAudioOutputs();
    // True when `name`, in upper case, contains one of the excluded substrings.
    bool IsExcludedVoice(const std::string& name) const;

    void SelectVoice(const std::string& name);
    const TUbSmartSpeechVoiceInfo& GetInfo() const;
    bool VoiceSelected() const { return FSelectedVoice != nullptr; }
    std::string VoiceName() const { return FSelectedVoice ? FSelectedVoice->Name : std::string(); }

    int32_t GetSpeed();
    void SetSpeed(int32_t value);
    int32_t GetPitch();
    void SetPitch(int32_t value);
    int32_t GetVolume();
    void SetVolume(int32_t value);

    // A Speak that fails leaves the facade idle.
    void Speak();
    bool IsIdle();
    bool IsPaused();
    void Pause();
    void Resume();
    void Stop();

    // Speaking faster: multiplies the selected speed for the next Speak and
    // Prepare, by the engine's own rate (1: the chosen speed as it is).
    double SpeedFactor = 1.0;
    // Synthesises the current Text, as Speak would speak it with SpeedFactor
    // and the sound card of now, into memory off the program's thread;
    // OnPrepared follows with the id and the spoken length in ms. A Speak of
    // the same text with the same settings then plays that audio. Returns 0
    // when nothing is prepared (no voice, file output).
    uint64_t Prepare();
    // Forgets everything prepared.
    void DiscardPrepared();
    std::function<void(TUbSmartSpeech* sender, uint64_t prepareId, int64_t durationMs)> OnPrepared;

    // The text that goes to the engine for the current Text and voice.
    std::string BuildSpeechText() const;
    // ANSI text to wide text through CodePage (0: the system's conversion).
    WideString TextToWide(const std::string& text) const;

    // When the last speech could not use the chosen sound card (it had gone)
    // and went to the default one: a warning that names the card; empty
    // otherwise. Needs no selected voice.
    std::string DeviceWarning() const;
    static std::string DeviceWarningText(const std::string& cardName);

    TUbSmartSpeechOutput Output() const { return FOutput; }
    void SetOutput(TUbSmartSpeechOutput value);

    // Public settings and values, as the voice panel and the controller use them.
    std::vector<std::string> Text;
    std::string OutFileName;
    uint16_t FileRealTime = 0;
    bool UseTags = true;
    int32_t AudioOutput = -1;
    uint16_t CodePage = 0;
    int32_t SpeedValue = 0;
    int32_t PitchValue = 0;
    int32_t VolumeValue = 0;

    std::function<void(TUbSmartSpeech* sender)> OnStart;
    std::function<void(TUbSmartSpeech* sender)> OnStop;
    std::function<void(TUbSmartSpeech* sender, uint32_t position)> OnWordPosition;

    bool Speaking() const { return FSpeaking; }

private:
    TSpVoice& SpVoice();
    IUbSpeech& Sapi4();
    void EndOfStream();
    void StartFileMonitor(const WideString& fileName);
    void FileOutputDone();
    static std::string ClassName() { return "TUbSmartSpeech"; }

    TUbSmartSpeechBackends FBackends;
    const ITextCodec& FCodec;
    IEventPoster& FPoster;
    TVoiceList FVoices;
    std::vector<std::pair<std::string, TSpeechObjectToken>> FAudioOutputs;
    TUbSmartSpeechVoiceInfo* FSelectedVoice = nullptr;
    TUbSmartSpeechOutput FOutput = TUbSmartSpeechOutput::ssoGeneral;
    bool FSpeaking = false;
    bool FPaused = false;
    int32_t FStreamNumber = 0; // the stream whose end means the voice is idle
    std::unique_ptr<TSpVoice> FSpVoice;
    std::unique_ptr<TSpFileStream> FSpFileStream;
    bool FSapi4Hooked = false;
    std::jthread FFileMonitor;
    std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
};

} // namespace parlino
