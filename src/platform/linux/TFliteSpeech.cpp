#include "platform/linux/TFliteSpeech.h"

#include "platform/linux/TFliteCentral.h"

#include <algorithm>
#include <cstring>

namespace parlino {
namespace {

// The engine's identifier; a mode's identifier is it with the voice's number.
constexpr TGUID FliteEngineId{0x6A3F1C20, 0x5E11, 0x4B7D, {0x9C, 0x2A, 0x46, 0x6C, 0x69, 0x74, 0x65, 0x00}};

void CopyField(char* field, size_t size, const std::string& text) {
    const size_t n = std::min(size - 1, text.size());
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

struct TVoiceText {
    const char* Name;
    const char* ModeName;
    const char* Style;
};
// Mode names carry the voice's own name in brackets at their end.
const TVoiceText VoiceTexts[] = {
    {"kal", "Flite male, 8 kHz (kal)", "diphone"},
    {"kal16", "Flite male, 16 kHz (kal16)", "diphone"},
    {"awb", "Flite male, Scottish (awb)", "statistical"},
    {"rms", "Flite male, low (rms)", "statistical"},
    {"slt", "Flite female (slt)", "statistical"},
};

class TFliteEnum final : public ITTSEnumA {
public:
    TFliteEnum(const TFliteTTSClasses& classes, IAudioOutput& audio, IEventPoster& poster,
               std::shared_ptr<TFliteEngine> engine, int outputRate, const ITextCodec* codec)
        : FClasses(classes), FAudio(audio), FPoster(poster), FEngine(std::move(engine)), FOutputRate(outputRate),
          FCodec(codec) {}

    HRESULT Next(uint32_t count, TTSModeInfoA* modes, uint32_t* fetched) override {
        if (!modes && count > 0) return E_INVALIDARG;
        uint32_t done = 0;
        for (; done < count && FPosition < FEngine->Voices().size(); ++done, ++FPosition)
            modes[done] = FClasses.ModeInfo(FPosition);
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(uint32_t count) override {
        FPosition = std::min<size_t>(FEngine->Voices().size(), FPosition + count);
        return FPosition < FEngine->Voices().size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        FPosition = 0;
        return S_OK;
    }
    HRESULT Select(const TGUID& modeId, std::shared_ptr<ITTSCentralA>* central,
                   std::shared_ptr<IAudioDestination> destination) override {
        if (!central) return E_INVALIDARG;
        for (size_t i = 0; i < FEngine->Voices().size(); ++i) {
            if (!(FClasses.ModeInfo(i).gModeID == modeId)) continue;
            if (!std::dynamic_pointer_cast<TFliteMultiMediaDevice>(destination) &&
                !std::dynamic_pointer_cast<TFliteAudioFile>(destination))
                return E_INVALIDARG;
            *central = std::make_shared<TFliteCentral>(FAudio, FPoster, FEngine, i, FOutputRate, destination, FCodec);
            return S_OK;
        }
        return E_INVALIDARG;
    }

private:
    const TFliteTTSClasses& FClasses;
    IAudioOutput& FAudio;
    IEventPoster& FPoster;
    std::shared_ptr<TFliteEngine> FEngine;
    int FOutputRate;
    const ITextCodec* FCodec;
    size_t FPosition = 0;
};

} // namespace

TFliteTTSClasses::TFliteTTSClasses(IAudioOutput& audio, IEventPoster& poster, std::shared_ptr<TFliteEngine> engine,
                                   int outputRate, const ITextCodec* codec)
    : FAudio(audio), FPoster(poster), FEngine(std::move(engine)), FOutputRate(outputRate), FCodec(codec) {}

std::shared_ptr<ITTSEnumA> TFliteTTSClasses::CreateEnum() {
    if (!FEngine->Initialised()) return nullptr;
    return std::make_shared<TFliteEnum>(*this, FAudio, FPoster, FEngine, FOutputRate, FCodec);
}

std::shared_ptr<IAudioMultiMediaDevice> TFliteTTSClasses::CreateMultiMediaDevice() {
    return std::make_shared<TFliteMultiMediaDevice>();
}

std::shared_ptr<IAudioFile> TFliteTTSClasses::CreateAudioFile() { return std::make_shared<TFliteAudioFile>(); }

TTSModeInfoA TFliteTTSClasses::ModeInfo(size_t index) const {
    const TFliteVoiceInfo& voice = FEngine->Voices().at(index);
    TTSModeInfoA m;
    m.gEngineID = FliteEngineId;
    m.gModeID = FliteEngineId;
    m.gModeID.Data4[7] = static_cast<uint8_t>(index + 1);
    std::string modeName = "Flite " + voice.Name, style = "neutral";
    for (const TVoiceText& t : VoiceTexts)
        if (voice.Name == t.Name) modeName = t.ModeName, style = t.Style;
    CopyField(m.szMfgName, sizeof m.szMfgName, "Flite");
    CopyField(m.szProductName, sizeof m.szProductName, "Flite speech synthesis");
    CopyField(m.szModeName, sizeof m.szModeName, modeName);
    m.language.LanguageID = 0x0409; // English (United States)
    CopyField(m.language.szDialect, sizeof m.language.szDialect, "US English");
    CopyField(m.szSpeaker, sizeof m.szSpeaker, voice.Name);
    CopyField(m.szStyle, sizeof m.szStyle, style);
    m.wGender = voice.Female ? GENDER_FEMALE : GENDER_MALE;
    m.wAge = 30;
    m.dwFeatures = TTSFEATURE_ANYWORD | TTSFEATURE_VOLUME | TTSFEATURE_SPEED | TTSFEATURE_PITCH | TTSFEATURE_TAGGED;
    m.dwInterfaces = TTSI_ITTSATTRIBUTES | TTSI_ITTSCENTRAL | TTSI_ITTSDIALOGS;
    return m;
}

} // namespace parlino
