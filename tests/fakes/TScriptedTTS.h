#pragma once
// A scripted engine of the legacy voice API: engine modes set by the test,
// attributes that clamp to set limits, every call logged, notifications
// fired when the test says so, and failures on demand.

#include "speech/speech.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace parlino::test {

struct TScriptedTTSState {
    std::vector<std::string> Modes;
    bool NoEnumerator = false, FailSelect = false, FailFileSet = false, FailAudioCalls = false;
    // Attributes in force and the engine's limits.
    uint16_t Pitch = 100, MinPitch = 50, MaxPitch = 400;
    uint32_t Speed = 170, MinSpeed = 60, MaxSpeed = 400;
    uint32_t RealTime = 100, MinRealTime = 1, MaxRealTime = 10000;
    uint32_t Volume = 0xFFFFFFFF;
    uint16_t Gender = 1;
    std::vector<std::string> Log; // "Inject:<tags>", "TextData:<flags>:<text>", "AudioReset", ...
    std::vector<std::string> Texts;
    std::map<uint32_t, std::shared_ptr<ITTSNotifySinkA>> Sinks;
    std::shared_ptr<ITTSBufNotifySink> LastBufSink;
    // Speaking faster and synthesis ahead ("SpeedFactor:<f>", "Prepare:<flags>:<text>",
    // "DiscardPrepared" in the log); without it the central lacks that addition.
    bool Ahead = true;
    std::shared_ptr<ITTSPreparedNotifySink> LastPreparedSink;
    uint64_t NextPrepareId = 0;
    int Centrals = 0;
    int TextsInFlight = 0; // given since the last reset or end of audio
};

class TScriptedCentral : public ITTSCentralA, public ITTSAttributesA,
                         public std::enable_shared_from_this<TScriptedCentral> {
public:
    explicit TScriptedCentral(TScriptedTTSState& s) : S(s) {}
    HRESULT Inject(const char* tags) override {
        S.Log.push_back(std::string("Inject:") + tags);
        return S_OK;
    }
    HRESULT TextData(uint32_t, uint32_t flags, const char* text, uint32_t size,
                     std::shared_ptr<ITTSBufNotifySink> sink, const TGUID&) override {
        const std::string t(text, strnlen(text, size));
        S.Log.push_back("TextData:" + std::to_string(flags) + ":" + t);
        S.Texts.push_back(t);
        S.LastBufSink = std::move(sink);
        ++S.TextsInFlight;
        return S_OK;
    }
    HRESULT AudioPause() override { return Audio("AudioPause"); }
    HRESULT AudioResume() override { return Audio("AudioResume"); }
    HRESULT AudioReset() override {
        S.TextsInFlight = 0;
        return Audio("AudioReset");
    }
    HRESULT Register(std::shared_ptr<ITTSNotifySinkA> sink, const TGUID&, uint32_t* key) override {
        *key = static_cast<uint32_t>(S.Sinks.size() + 100);
        S.Sinks[*key] = std::move(sink);
        S.Log.push_back("Register");
        return S_OK;
    }
    HRESULT UnRegister(uint32_t key) override {
        S.Sinks.erase(key);
        S.Log.push_back("UnRegister");
        return S_OK;
    }
    std::shared_ptr<ITTSAttributesA> Attributes() override { return shared_from_this(); }
    std::shared_ptr<ITTSDialogsA> Dialogs() override { return nullptr; }

    HRESULT PitchGet(uint16_t* v) override { return *v = S.Pitch, S_OK; }
    HRESULT PitchSet(uint16_t v) override { return S.Pitch = std::clamp(v, S.MinPitch, S.MaxPitch), S_OK; }
    HRESULT RealTimeGet(uint32_t* v) override { return *v = S.RealTime, S_OK; }
    HRESULT RealTimeSet(uint32_t v) override { return S.RealTime = std::clamp(v, S.MinRealTime, S.MaxRealTime), S_OK; }
    HRESULT SpeedGet(uint32_t* v) override { return *v = S.Speed, S_OK; }
    HRESULT SpeedSet(uint32_t v) override { return S.Speed = std::clamp(v, S.MinSpeed, S.MaxSpeed), S_OK; }
    HRESULT VolumeGet(uint32_t* v) override { return *v = S.Volume, S_OK; }
    HRESULT VolumeSet(uint32_t v) override { return S.Volume = v, S_OK; }

protected:
    HRESULT Audio(const char* name) {
        S.Log.push_back(name);
        return S.FailAudioCalls ? E_FAIL : S_OK;
    }
    TScriptedTTSState& S;
};

class TScriptedAheadCentral final : public TScriptedCentral, public ITTSCentralAhead {
public:
    using TScriptedCentral::TScriptedCentral;
    HRESULT SpeedFactorSet(double factor) override {
        char text[32];
        std::snprintf(text, sizeof text, "SpeedFactor:%g", factor);
        S.Log.push_back(text);
        return S_OK;
    }
    HRESULT SpeedFactorGet(double*) override { return E_NOTIMPL; }
    HRESULT Prepare(uint32_t, uint32_t flags, const char* text, uint32_t size,
                    std::shared_ptr<ITTSPreparedNotifySink> sink, uint64_t* id) override {
        S.Log.push_back("Prepare:" + std::to_string(flags) + ":" + std::string(text, strnlen(text, size)));
        S.LastPreparedSink = std::move(sink);
        *id = ++S.NextPrepareId;
        return S_OK;
    }
    HRESULT DiscardPrepared() override { return Audio("DiscardPrepared"); }
};

class TScriptedDevice final : public IAudioMultiMediaDevice {
public:
    explicit TScriptedDevice(TScriptedTTSState& s) : S(s) {}
    HRESULT DeviceNumSet(uint32_t n) override {
        S.Log.push_back("DeviceNumSet:" + std::to_string(n));
        return S_OK;
    }
    TScriptedTTSState& S;
};

class TScriptedFile final : public IAudioFile {
public:
    explicit TScriptedFile(TScriptedTTSState& s) : S(s) {}
    HRESULT Set(const std::string& name, uint32_t) override {
        S.Log.push_back("FileSet:" + name);
        return S.FailFileSet ? E_FAIL : S_OK;
    }
    HRESULT RealTimeSet(uint16_t v) override {
        S.Log.push_back("FileRealTime:" + std::to_string(v));
        return S_OK;
    }
    HRESULT Flush() override {
        S.Log.push_back("FileFlush");
        return S_OK;
    }
    TScriptedTTSState& S;
};

class TScriptedEnum final : public ITTSEnumA {
public:
    explicit TScriptedEnum(TScriptedTTSState& s) : S(s) {}
    HRESULT Next(uint32_t count, TTSModeInfoA* modes, uint32_t* fetched) override {
        uint32_t done = 0;
        for (; done < count && Position < S.Modes.size(); ++done, ++Position) {
            TTSModeInfoA m;
            std::strncpy(m.szModeName, S.Modes[Position].c_str(), sizeof m.szModeName - 1);
            std::strncpy(m.szMfgName, "Scripted", sizeof m.szMfgName - 1);
            m.gModeID.Data1 = static_cast<uint32_t>(Position + 1);
            m.wGender = S.Gender;
            m.wAge = 42;
            modes[done] = m;
        }
        *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(uint32_t count) override {
        Position += count;
        return S_OK;
    }
    HRESULT Reset() override {
        Position = 0;
        return S_OK;
    }
    HRESULT Select(const TGUID& mode, std::shared_ptr<ITTSCentralA>* central,
                   std::shared_ptr<IAudioDestination>) override {
        S.Log.push_back("Select:" + std::to_string(mode.Data1));
        if (S.FailSelect) return E_FAIL;
        ++S.Centrals;
        if (S.Ahead) *central = std::make_shared<TScriptedAheadCentral>(S);
        else *central = std::make_shared<TScriptedCentral>(S);
        return S_OK;
    }
    TScriptedTTSState& S;
    size_t Position = 0;
};

class TScriptedTTS final : public ITTSClasses {
public:
    std::shared_ptr<ITTSEnumA> CreateEnum() override {
        return State.NoEnumerator ? nullptr : std::make_shared<TScriptedEnum>(State);
    }
    std::shared_ptr<IAudioMultiMediaDevice> CreateMultiMediaDevice() override {
        return std::make_shared<TScriptedDevice>(State);
    }
    std::shared_ptr<IAudioFile> CreateAudioFile() override { return std::make_shared<TScriptedFile>(State); }

    // Notifications, as the engine delivers them on the program's thread.
    void FireAudioStart() {
        for (auto [key, sink] : State.Sinks) sink->AudioStart(0);
    }
    // The end of audio: every text given since is done first, as the engine
    // reports; the late report of audio that a reset cut off ends no text.
    void FireAudioStop(bool textsDone = true) {
        for (; textsDone && State.TextsInFlight > 0 && State.LastBufSink; --State.TextsInFlight)
            State.LastBufSink->TextDataDone(0, 0);
        for (auto [key, sink] : State.Sinks) sink->AudioStop(0);
    }
    void FirePrepared(uint64_t id, uint64_t durationMs) {
        if (State.LastPreparedSink) State.LastPreparedSink->Prepared(id, durationMs);
    }
    void FireWord(uint32_t position) {
        if (State.LastBufSink) State.LastBufSink->WordPosition(0, position);
    }

    TScriptedTTSState State;
};

} // namespace parlino::test
