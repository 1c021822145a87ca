#pragma once
// The legacy voice component: lists the engine modes of the legacy API,
// selects one by name and reads its description and parameter ranges, sets
// pitch, speed and volume by injecting control tags, hands text to the
// engine, pauses, resumes and resets the audio, and turns the engine's
// notifications into events. Where the engine central also offers this
// program's ITTSCentralAhead, the speed factor and synthesis ahead go
// through it; without it the factor is ignored and Prepare answers 0.
// Everything runs on the program's thread.

#include "platform/Exceptions.h"
#include "speech/UbSpeechIntf.h"
#include "speech/speech.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace parlino {

class EMSpeechException : public EParlinoError {
public:
    using EParlinoError::EParlinoError;
};

struct TMSpeechEngineInfo {
    std::string ModeName, Dialect, MfgName, ProductName, ModeID, EngineID, Speaker, Style, Gender;
    uint32_t Age = 0, Features = 0, Interfaces = 0;
    uint16_t MaxPitch = 0, MinPitch = 0;
    uint32_t MaxRealTime = 0, MinRealTime = 0;
    uint32_t MaxSpeed = 0, MinSpeed = 0;
    uint32_t MaxVolume = 0, MinVolume = 0;
};

class TUbSpeech final : public IUbSpeech {
public:
    // `classes` must outlive the component; creation lists the engines.
    explicit TUbSpeech(ITTSClasses& classes);
    ~TUbSpeech() override;
    TUbSpeech(const TUbSpeech&) = delete;
    TUbSpeech& operator=(const TUbSpeech&) = delete;

    void InitEngines();
    void SelectEngine(const std::string& name) override;
    void Speak(const std::string& text) override;
    // Speaks the lines of Text, each followed by CR LF.
    void Speak();
    void Pause() override;
    void Resume() override;
    void Stop() override;

    uint16_t GetPitch16();
    void SetPitch(uint16_t value) override;
    uint32_t GetSpeed32();
    void SetSpeed32(uint32_t value);
    int32_t GetVolume() override;
    void SetVolume(int32_t percent) override;

    // IUbSpeech in the facade's integer terms.
    std::vector<std::string> EngineModeNames() override { return Engines; }
    int32_t SpeedMin() const override { return static_cast<int32_t>(EngineInfo.MinSpeed); }
    int32_t SpeedMax() const override { return static_cast<int32_t>(EngineInfo.MaxSpeed); }
    int32_t PitchMin() const override { return EngineInfo.MinPitch; }
    int32_t PitchMax() const override { return EngineInfo.MaxPitch; }
    int32_t GetSpeed() override { return static_cast<int32_t>(GetSpeed32()); }
    void SetSpeed(int32_t value) override { SetSpeed32(static_cast<uint32_t>(value)); }
    int32_t GetPitch() override { return GetPitch16(); }
    bool Ready() const override { return FReady; }
    bool Paused() const override { return FPaused; }
    bool Idle() const override { return FTextsPending == 0 && (FReady || FReset); }
    uint64_t Prepare(const std::string& text) override;
    void DiscardPrepared() override;

    std::vector<std::string> Text;
    std::vector<std::string> Engines;
    TMSpeechEngineInfo EngineInfo;
    std::string EngineName;
    bool Initialized = false;
    bool EngineSelected = false;
    uint32_t WordPosition = 0;
    uint32_t LastSpeed = 0, LastPitch = 0, LastVolume = 0;
    const std::string Version = "TUbSpeech 1.0 for Parlino";

    std::function<void()> OnTextDataDone;
    std::function<void(uint32_t bookmark)> OnBookmark;
    std::function<void(int64_t timeStamp, uint32_t hints, const TTSMouth* mouth, char ipaPhoneme,
                       char enginePhoneme)>
        OnVisual;

    // The sinks call these.
    void NotifyAudioStart();
    void NotifyAudioStop();
    void NotifyVisual(uint64_t timeStamp, char ipa, char engine, uint32_t hints, const TTSMouth* mouth);
    void NotifyTextDataDone();
    void NotifyBookmark(uint32_t mark);
    void NotifyWordPosition(uint32_t position);
    void NotifyPrepared(uint64_t id, int64_t durationMs); // -1: dropped before it was done

private:
    class TTSNotifySink;
    class TTSBufNotifySink;
    class TTSPreparedSink;
    void Inject(const std::string& tags);
    ITTSCentralA& Central();

    ITTSClasses& FClasses;
    bool FReady = true;
    bool FPaused = false;
    // Texts handed to the engine since the last reset whose end it has not
    // reported, and whether the audio was reset since it last started: the
    // engine reports the end of reset audio later, on the program's thread.
    int FTextsPending = 0;
    bool FReset = false;
    std::shared_ptr<ITTSEnumA> FEnum;
    std::shared_ptr<ITTSCentralA> FCentral;
    std::shared_ptr<ITTSAttributesA> FAttributes;
    std::shared_ptr<ITTSDialogsA> FDialogs;
    std::shared_ptr<ITTSCentralAhead> FAhead; // null: the engine has no such addition
    std::shared_ptr<IAudioMultiMediaDevice> FDevice;
    std::shared_ptr<IAudioFile> FFile;
    std::shared_ptr<TTSNotifySink> FNotifySink;
    std::shared_ptr<TTSBufNotifySink> FBufSink;
    std::shared_ptr<TTSPreparedSink> FPreparedSink;
    uint32_t FRegisterKey = 0;
    std::unique_ptr<TTSModeInfoA> FModeInfo;
};

} // namespace parlino
