#pragma once
// A voice of the modern API that records every call and reports its events
// only when the test says so.

#include "speech/SpeechLib_TLB.h"
#include "speech/UbSmartSpeech.h"
#include "speech/UbSpeechIntf.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace parlino::test {

class TFakeToken final : public ISpeechObjectToken {
public:
    explicit TFakeToken(WideString description) : Description(std::move(description)) {}
    WideString GetDescription(int32_t) const override { return Description; }
    WideString Description;
};

class TFakeSpeechVoice final : public ISpeechVoice {
public:
    struct TSpeakCall {
        WideString Text;
        int32_t Flags;
        TSpeechObjectToken Output;
        ISpeechFileStream* Stream;
    };
    TSpeechObjectTokens VoiceTokens, OutputTokens;
    bool FailListing = false;
    TSpeechObjectToken CurrentVoice, CurrentOutput;
    ISpeechFileStream* CurrentStream = nullptr;
    int32_t RateValue = 0, VolumeValue = 100, Interests = 0;
    bool IsPaused = false;
    int PauseCalls = 0, ResumeCalls = 0;
    std::vector<TSpeakCall> Calls;
    int32_t NextStream = 0;
    std::vector<std::string> Log; // call order, for sequence checks
    bool FailSpeak = false;        // a Speak with text throws, as when its device cannot be opened
    TSpeechObjectToken Unavailable; // what UnavailableAudioOutput reports

    TSpeechObjectTokens GetVoices(const WideString&, const WideString&) override {
        if (FailListing) throw std::runtime_error("enumeration failed");
        return VoiceTokens;
    }
    TSpeechObjectTokens GetAudioOutputs(const WideString&, const WideString&) override {
        if (FailListing) throw std::runtime_error("enumeration failed");
        return OutputTokens;
    }
    void SetVoice(const TSpeechObjectToken& voice) override { CurrentVoice = voice, Log.push_back("Voice"); }
    void SetAudioOutput(const TSpeechObjectToken& output) override { CurrentOutput = output; }
    void SetAudioOutputStream(ISpeechFileStream* stream) override { CurrentStream = stream; }
    int32_t Rate() const override { return RateValue; }
    void SetRate(int32_t rate) override { RateValue = rate, Log.push_back("Rate"); }
    int32_t Volume() const override { return VolumeValue; }
    void SetVolume(int32_t volume) override { VolumeValue = volume, Log.push_back("Volume"); }
    void SetEventInterests(int32_t interests) override { Interests = interests; }
    int32_t Speak(const WideString& text, int32_t flags) override {
        Calls.push_back({text, flags, CurrentOutput, CurrentStream});
        if (!text.empty()) SpeakFactors.push_back(Factor);
        Log.push_back(IsPaused ? "Speak(paused)" : "Speak");
        if (FailSpeak && !text.empty()) throw std::runtime_error("Sound device 1 does not exist.");
        return ++NextStream;
    }
    void Pause() override { IsPaused = true, ++PauseCalls, Log.push_back("Pause"); }
    void Resume() override { IsPaused = false, ++ResumeCalls, Log.push_back("Resume"); }
    TSpeechObjectToken UnavailableAudioOutput() const override { return Unavailable; }

    // Synthesis ahead: each Prepare is recorded with the rate factor of the
    // moment; the test reports it done with FirePrepared.
    struct TPrepareCall {
        uint64_t Id;
        WideString Text;
        double Factor;
    };
    double Factor = 1.0;
    std::vector<double> SpeakFactors; // the rate factor of each Speak with text
    std::vector<TPrepareCall> Prepared;
    int DiscardCalls = 0;
    uint64_t NextPrepare = 0;
    bool CanPrepare = true;
    void SetRateFactor(double factor) override { Factor = factor; }
    uint64_t Prepare(const WideString& text, int32_t) override {
        if (!CanPrepare) return 0;
        Prepared.push_back({++NextPrepare, text, Factor});
        return NextPrepare;
    }
    void DiscardPrepared() override { ++DiscardCalls; }
    void FirePrepared(uint64_t id, int64_t durationMs) {
        if (OnPrepared) OnPrepared(id, durationMs);
    }

    // Engine events, as the real voice would deliver them on the program's thread.
    void FireStart(int32_t stream) {
        if (OnStartStream) OnStartStream(stream, 0);
    }
    void FireEnd(int32_t stream) {
        if (OnEndStream) OnEndStream(stream, 0);
    }
    void FireWord(int32_t stream, int32_t position, int32_t length) {
        if (OnWord) OnWord(stream, 0, position, length);
    }
};

// Backends whose modern API has `count` fake voices named "Voice 1",
// "Voice 2", ...; `created` receives the voice once the facade makes it.
inline TUbSmartSpeechBackends FakeVoiceBackends(int count, TFakeSpeechVoice** created) {
    TUbSmartSpeechBackends b;
    b.Sapi5Installed = [count] { return count > 0; };
    b.CreateVoice = [count, created]() -> std::unique_ptr<ISpeechVoice> {
        auto v = std::make_unique<TFakeSpeechVoice>();
        for (int i = 1; i <= count; ++i) {
            const std::string name = "Voice " + std::to_string(i);
            v->VoiceTokens.push_back(std::make_shared<TFakeToken>(std::u16string(name.begin(), name.end())));
        }
        *created = v.get();
        return v;
    };
    return b;
}

// The legacy component: engine modes, ranges and flags set by the test.
class TFakeUbSpeech final : public IUbSpeech {
public:
    std::vector<std::string> Modes;
    std::string Selected, FailSelectWith;
    int32_t SpeedLo = 50, SpeedHi = 250, PitchLo = 60, PitchHi = 300;
    int32_t Speed = 150, Pitch = 100, VolumePercent = 80;
    bool IsReady = true, IsPausedFlag = false;
    std::vector<std::string> Spoken;
    int StopCalls = 0;

    std::vector<std::string> EngineModeNames() override { return Modes; }
    void SelectEngine(const std::string& name) override {
        if (!FailSelectWith.empty()) throw std::runtime_error(FailSelectWith);
        Selected = name;
    }
    int32_t SpeedMin() const override { return SpeedLo; }
    int32_t SpeedMax() const override { return SpeedHi; }
    int32_t PitchMin() const override { return PitchLo; }
    int32_t PitchMax() const override { return PitchHi; }
    int32_t GetSpeed() override { return Speed; }
    void SetSpeed(int32_t v) override { Speed = v; }
    int32_t GetPitch() override { return Pitch; }
    void SetPitch(uint16_t v) override { Pitch = v; }
    int32_t GetVolume() override { return VolumePercent; }
    void SetVolume(int32_t v) override { VolumePercent = v; }
    void Speak(const std::string& text) override { Spoken.push_back(text); }
    void Pause() override { IsPausedFlag = true; }
    void Resume() override { IsPausedFlag = false; }
    void Stop() override { ++StopCalls; }
    bool Ready() const override { return IsReady; }
    bool Paused() const override { return IsPausedFlag; }
    std::vector<std::pair<std::string, double>> PreparedTexts; // text, factor
    uint64_t Prepare(const std::string& text) override {
        PreparedTexts.emplace_back(text, SpeedFactor);
        return PreparedTexts.size();
    }
    void DiscardPrepared() override {}
};

} // namespace parlino::test
