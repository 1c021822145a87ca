#include "speech/UbSpeech.h"

#include <cstdio>
#include <cstring>

namespace parlino {
namespace {

const char* const NotInitialized = "Speech Engine not initialized.\r\nPossibly, you need to set up\r\nMicrosoft\xAE SpeechAPI";
const char* const NotFound = "Specified Speech Engine not found";
const char* const NotSelected = "Speech Engine not selected";

// A zero-terminated field of a record, read up to its zero or its end.
std::string FieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

std::string AsciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

void Check(HRESULT hr, const char* operation) {
    if (Failed(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "%08X", static_cast<uint32_t>(hr));
        throw EMSpeechException(std::string(operation) + " failed (0x" + code + ")");
    }
}

} // namespace

// The sinks keep a plain reference to their component; the component detaches
// them when it goes, so a notification still under way then reaches nobody.
class TUbSpeech::TTSNotifySink final : public ITTSNotifySinkA {
public:
    explicit TTSNotifySink(TUbSpeech* owner) : Owner(owner) {}
    HRESULT AttribChanged(uint32_t) override { return S_OK; }
    HRESULT AudioStart(uint64_t) override {
        if (Owner) Owner->NotifyAudioStart();
        return S_OK;
    }
    HRESULT AudioStop(uint64_t) override {
        if (Owner) Owner->NotifyAudioStop();
        return S_OK;
    }
    HRESULT Visual(uint64_t timeStamp, char ipa, char engine, uint32_t hints, const TTSMouth* mouth) override {
        if (Owner) Owner->NotifyVisual(timeStamp, ipa, engine, hints, mouth);
        return S_OK;
    }
    TUbSpeech* Owner;
};

class TUbSpeech::TTSBufNotifySink final : public ITTSBufNotifySink {
public:
    explicit TTSBufNotifySink(TUbSpeech* owner) : Owner(owner) {}
    HRESULT TextDataDone(uint64_t, uint32_t) override {
        if (Owner) Owner->NotifyTextDataDone();
        return S_OK;
    }
    HRESULT TextDataStarted(uint64_t) override { return S_OK; }
    HRESULT BookMark(uint64_t, uint32_t mark) override {
        if (Owner) Owner->NotifyBookmark(mark);
        return S_OK;
    }
    HRESULT WordPosition(uint64_t, uint32_t position) override {
        if (Owner) Owner->NotifyWordPosition(position);
        return S_OK;
    }
    TUbSpeech* Owner;
};

class TUbSpeech::TTSPreparedSink final : public ITTSPreparedNotifySink {
public:
    explicit TTSPreparedSink(TUbSpeech* owner) : Owner(owner) {}
    HRESULT Prepared(uint64_t id, uint64_t durationMs) override {
        if (Owner) Owner->NotifyPrepared(id, static_cast<int64_t>(durationMs));
        return S_OK;
    }
    HRESULT Dropped(uint64_t id) override {
        if (Owner) Owner->NotifyPrepared(id, -1);
        return S_OK;
    }
    TUbSpeech* Owner;
};

TUbSpeech::TUbSpeech(ITTSClasses& classes) : FClasses(classes) { InitEngines(); }

TUbSpeech::~TUbSpeech() {
    Initialized = false;
    if (FCentral && FRegisterKey != 0) FCentral->UnRegister(FRegisterKey);
    if (FNotifySink) FNotifySink->Owner = nullptr;
    if (FBufSink) FBufSink->Owner = nullptr;
    if (FPreparedSink) FPreparedSink->Owner = nullptr;
}

void TUbSpeech::InitEngines() {
    Initialized = true;
    EngineSelected = false;
    try {
        FEnum = FClasses.CreateEnum();
        if (!FEnum) throw EMSpeechException("no enumerator");
        Check(FEnum->Reset(), "Reset");
        for (;;) {
            TTSModeInfoA mode;
            uint32_t fetched = 0;
            if (FEnum->Next(1, &mode, &fetched) != S_OK || fetched != 1) break;
            Engines.push_back(FieldText(mode.szModeName, sizeof mode.szModeName));
        }
    } catch (const std::exception&) {
        Initialized = false; // the names read so far stay
    }
}

void TUbSpeech::SelectEngine(const std::string& name) {
    FReady = true;
    FTextsPending = 0;
    FReset = false;
    EngineName.clear();
    if (!Initialized) throw EMSpeechException(NotInitialized);
    size_t index = Engines.size();
    for (size_t i = 0; i < Engines.size(); ++i)
        if (AsciiUpper(Engines[i]) == AsciiUpper(name)) {
            index = i;
            break;
        }
    if (index == Engines.size()) throw EMSpeechException(NotFound);
    EngineSelected = true;
    try {
        std::shared_ptr<IAudioDestination> destination;
        FDevice.reset();
        FFile.reset();
        if (Output == TUbSpeechOutput::soFile) {
            FFile = FClasses.CreateAudioFile();
            destination = FFile;
        } else {
            FDevice = FClasses.CreateMultiMediaDevice();
            destination = FDevice;
        }
        if (!destination) throw EMSpeechException("no audio destination");
        if (FRegisterKey != 0 && FCentral) FCentral->UnRegister(FRegisterKey);
        FRegisterKey = 0;
        if (FNotifySink) FNotifySink->Owner = nullptr;
        if (FBufSink) FBufSink->Owner = nullptr;
        if (FPreparedSink) FPreparedSink->Owner = nullptr;
        FAhead.reset();
        FBufSink = std::make_shared<TTSBufNotifySink>(this);
        FPreparedSink = std::make_shared<TTSPreparedSink>(this);
        FNotifySink = std::make_shared<TTSNotifySink>(this);

        Check(FEnum->Reset(), "Reset");
        Check(FEnum->Skip(static_cast<uint32_t>(index)), "Skip");
        auto mode = std::make_unique<TTSModeInfoA>();
        uint32_t fetched = 0;
        if (FEnum->Next(1, mode.get(), &fetched) != S_OK || fetched != 1) throw EMSpeechException("Next");
        FModeInfo = std::move(mode);
        std::shared_ptr<ITTSCentralA> central;
        Check(FEnum->Select(FModeInfo->gModeID, &central, destination), "Select");
        if (!central) throw EMSpeechException("Select");
        FCentral = central;
        FAttributes = FCentral->Attributes();
        FDialogs = FCentral->Dialogs();
        FAhead = std::dynamic_pointer_cast<ITTSCentralAhead>(FCentral);
        if (!FAttributes) throw EMSpeechException("no attributes");
        Check(FCentral->Register(FNotifySink, IID_ITTSNotifySinkA, &FRegisterKey), "Register");

        const TTSModeInfoA& m = *FModeInfo;
        EngineInfo = TMSpeechEngineInfo();
        EngineInfo.ModeName = FieldText(m.szModeName, sizeof m.szModeName);
        EngineInfo.Dialect = FieldText(m.language.szDialect, sizeof m.language.szDialect);
        EngineInfo.MfgName = FieldText(m.szMfgName, sizeof m.szMfgName);
        EngineInfo.ProductName = FieldText(m.szProductName, sizeof m.szProductName);
        EngineInfo.ModeID = GuidToString(m.gModeID);
        EngineInfo.EngineID = GuidToString(m.gEngineID);
        EngineInfo.Speaker = FieldText(m.szSpeaker, sizeof m.szSpeaker);
        EngineInfo.Style = FieldText(m.szStyle, sizeof m.szStyle);
        if (m.wGender == GENDER_NEUTRAL) EngineInfo.Gender = "NEUTRAL";
        else if (m.wGender == GENDER_FEMALE) EngineInfo.Gender = "FEMALE";
        else if (m.wGender == GENDER_MALE) EngineInfo.Gender = "MALE";
        EngineInfo.Age = m.wAge;
        EngineInfo.Features = m.dwFeatures;
        EngineInfo.Interfaces = m.dwInterfaces;

        // Each range is probed by setting the extremes and reading back what
        // the engine made of them; the value found first is restored.
        ITTSAttributesA& a = *FAttributes;
        uint16_t pitch = 0, pitchProbe = 0;
        a.PitchGet(&pitch);
        a.PitchSet(65535);
        a.PitchGet(&pitchProbe);
        EngineInfo.MaxPitch = pitchProbe;
        a.PitchSet(0);
        a.PitchGet(&pitchProbe);
        EngineInfo.MinPitch = pitchProbe;
        a.PitchSet(pitch);
        uint32_t value = 0, probe = 0;
        a.RealTimeGet(&value);
        a.RealTimeSet(0xFFFFFFFFu);
        a.RealTimeGet(&probe);
        EngineInfo.MaxRealTime = probe;
        a.RealTimeSet(0);
        a.RealTimeGet(&probe);
        EngineInfo.MinRealTime = probe;
        a.RealTimeSet(value);
        a.SpeedGet(&value);
        a.SpeedSet(0xFFFFFFFFu);
        a.SpeedGet(&probe);
        EngineInfo.MaxSpeed = probe;
        a.SpeedSet(0);
        a.SpeedGet(&probe);
        EngineInfo.MinSpeed = probe;
        a.SpeedSet(value);
        EngineInfo.MaxVolume = 100;
        EngineInfo.MinVolume = 0;

        LastSpeed = GetSpeed32();
        LastPitch = GetPitch16();
        LastVolume = static_cast<uint32_t>(GetVolume());
        EngineName = name;
    } catch (const std::exception&) {
        EngineSelected = false; // kept to the component, as the facade expects
    }
}

ITTSCentralA& TUbSpeech::Central() {
    if (!Initialized) throw EMSpeechException(NotInitialized);
    if (!EngineSelected || !FCentral) throw EMSpeechException(NotSelected);
    return *FCentral;
}

void TUbSpeech::Inject(const std::string& tags) { Central().Inject(tags.c_str()); }

uint16_t TUbSpeech::GetPitch16() {
    Central();
    uint16_t pitch = 0;
    FAttributes->PitchGet(&pitch);
    return pitch;
}

void TUbSpeech::SetPitch(uint16_t value) {
    Inject("\\Pit=" + std::to_string(value) + "\\");
    LastPitch = value;
}

uint32_t TUbSpeech::GetSpeed32() {
    Central();
    uint32_t speed = 0;
    FAttributes->SpeedGet(&speed);
    return speed;
}

void TUbSpeech::SetSpeed32(uint32_t value) {
    Inject("\\Spd=" + std::to_string(value) + "\\");
    LastSpeed = value;
}

int32_t TUbSpeech::GetVolume() {
    Central();
    uint32_t volume = 0;
    FAttributes->VolumeGet(&volume);
    return static_cast<int32_t>((volume & 0xFFFFu) * 100u / 65535u);
}

void TUbSpeech::SetVolume(int32_t percent) {
    const uint32_t level = static_cast<uint32_t>(percent) * 65535u / 100u;
    const uint32_t both = level + level * 65536u; // the same level left and right
    Inject("\\Vol=" + std::to_string(both) + "\\");
    LastVolume = static_cast<uint32_t>(percent);
}

void TUbSpeech::Speak() {
    std::string text;
    for (const std::string& line : Text) text += line + "\r\n";
    Speak(text);
}

void TUbSpeech::Speak(const std::string& text) {
    if (!Initialized) throw EMSpeechException(NotInitialized);
    if (!EngineSelected) throw EMSpeechException(NotSelected);
    try {
        FPaused = false;
        if (Output == TUbSpeechOutput::soFile) {
            if (!FFile) return; // no destination of this kind was made
            if (Failed(FFile->Set(Filename, 1))) throw EMSpeechException("Can not open file");
            FFile->RealTimeSet(FileRealTime);
        } else {
            if (!FDevice) return;
            FDevice->DeviceNumSet(static_cast<uint32_t>(DeviceNumber));
        }
        if (FAhead) FAhead->SpeedFactorSet(SpeedFactor);
        // Counted first: a text with nothing to say may be done before TextData returns.
        ++FTextsPending;
        if (Failed(FCentral->TextData(CHARSET_TEXT, UseTags ? TTSDATAFLAG_TAGGED : 0, text.c_str(),
                                      static_cast<uint32_t>(text.size() + 1), FBufSink, IID_ITTSBufNotifySink)))
            --FTextsPending;
    } catch (const std::exception&) {
        // nothing spoken, nothing reported
    }
}

void TUbSpeech::Pause() {
    Check(Central().AudioPause(), "AudioPause");
    FPaused = true;
}

void TUbSpeech::Resume() {
    Check(Central().AudioResume(), "AudioResume");
    FPaused = false;
}

void TUbSpeech::Stop() {
    FPaused = false;
    Check(Central().AudioReset(), "AudioReset");
    FTextsPending = 0;
    FReset = true;
}

void TUbSpeech::NotifyAudioStart() {
    FReady = false;
    FReset = false;
    if (OnStart) OnStart();
}

void TUbSpeech::NotifyAudioStop() {
    if (Output == TUbSpeechOutput::soFile && FFile) FFile->Flush();
    FReady = true;
    if (OnStop) OnStop();
}

void TUbSpeech::NotifyVisual(uint64_t timeStamp, char ipa, char engine, uint32_t hints, const TTSMouth* mouth) {
    if (OnVisual) OnVisual(static_cast<int64_t>(timeStamp), hints, mouth, ipa, engine);
}

void TUbSpeech::NotifyTextDataDone() {
    if (FTextsPending > 0) --FTextsPending;
    if (OnTextDataDone) OnTextDataDone();
}

void TUbSpeech::NotifyBookmark(uint32_t mark) {
    if (OnBookmark) OnBookmark(mark);
}

void TUbSpeech::NotifyWordPosition(uint32_t position) {
    WordPosition = position;
    if (OnWordPosition) OnWordPosition(position);
}

void TUbSpeech::NotifyPrepared(uint64_t id, int64_t durationMs) {
    if (OnPrepared) OnPrepared(id, durationMs);
}

uint64_t TUbSpeech::Prepare(const std::string& text) {
    // Ahead of need: where nothing can be prepared, the Speak synthesises.
    if (!Initialized || !EngineSelected || !FAhead || Output == TUbSpeechOutput::soFile || !FDevice) return 0;
    uint64_t id = 0;
    FAhead->SpeedFactorSet(SpeedFactor);
    if (Failed(FAhead->Prepare(CHARSET_TEXT, UseTags ? TTSDATAFLAG_TAGGED : 0, text.c_str(),
                               static_cast<uint32_t>(text.size() + 1), FPreparedSink, &id)))
        return 0;
    return id;
}

void TUbSpeech::DiscardPrepared() {
    if (Initialized && EngineSelected && FAhead) FAhead->DiscardPrepared();
}

} // namespace parlino
