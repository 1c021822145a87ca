#pragma once
// One Flite voice as an engine central of the legacy voice API, with its
// attributes and dialogs. Lives on the program's thread.
//
// Texts given to TextData queue up behind each other and are spoken in
// order; a text given while the one before is still being heard follows it
// without a cut. AudioStart is reported when a text's first audio goes to
// the output, AudioStop when the output has played the last of it (or after
// AudioReset cut audio that had started, or when the sound device failed).
// Word positions are reported as the words are heard, as byte offsets into
// the text given to TextData (tags included); TextDataDone when a text has
// been heard to its end. Texts are read as TFliteText.h says: typographic
// marks by their ASCII readings, other characters outside ASCII not at all.
//
// Texts can also be synthesised ahead (ITTSCentralAhead::Prepare) into
// memory, behind the texts being spoken; a TextData that matches one plays
// its audio, and texts that match none are synthesised before any text
// prepared ahead.

#include "platform/IAudioOutput.h"
#include "platform/IEventPoster.h"
#include "platform/ITextCodec.h"
#include "platform/linux/TFliteEngine.h"
#include "platform/linux/TFliteText.h"
#include "platform/linux/TTSControlTags.h"
#include "speech/speech.h"

#include <deque>
#include <map>
#include <memory>
#include <string>

namespace parlino {

class TWavFileStream;

// The sound card destination: the device number applies from the next text.
class TFliteMultiMediaDevice final : public IAudioMultiMediaDevice {
public:
    HRESULT DeviceNumSet(uint32_t deviceNumber) override;
    // -1: the system's default device, else an index of the output layer.
    int DeviceIndex = -1;
};

// The wave file destination.
class TFliteAudioFile final : public IAudioFile {
public:
    TFliteAudioFile();
    ~TFliteAudioFile() override;
    HRESULT Set(const std::string& fileName, uint32_t flags) override;
    HRESULT RealTimeSet(uint16_t realTime) override;
    HRESULT Flush() override;
    TWavFileStream& File() { return *FFile; }
    uint16_t RealTime = 0;

private:
    std::unique_ptr<TWavFileStream> FFile;
};

class TFliteCentral final : public ITTSCentralA,
                            public ITTSAttributesA,
                            public ITTSDialogsA,
                            public ITTSCentralAhead,
                            public std::enable_shared_from_this<TFliteCentral> {
public:
    // `codec` (null: Windows-1252) reads the texts, which are in its system
    // code page; it must outlive the central.
    TFliteCentral(IAudioOutput& audio, IEventPoster& poster, std::shared_ptr<TFliteEngine> engine, size_t voice,
                  int outputRate, std::shared_ptr<IAudioDestination> destination,
                  const ITextCodec* codec = nullptr);
    ~TFliteCentral() override;

    HRESULT Inject(const char* tags) override;
    HRESULT TextData(uint32_t characterSet, uint32_t flags, const char* text, uint32_t size,
                     std::shared_ptr<ITTSBufNotifySink> sink, const TGUID& sinkInterface) override;
    HRESULT AudioPause() override;
    HRESULT AudioResume() override;
    HRESULT AudioReset() override;
    HRESULT Register(std::shared_ptr<ITTSNotifySinkA> sink, const TGUID& sinkInterface, uint32_t* key) override;
    HRESULT UnRegister(uint32_t key) override;
    std::shared_ptr<ITTSAttributesA> Attributes() override { return shared_from_this(); }
    std::shared_ptr<ITTSDialogsA> Dialogs() override { return shared_from_this(); }

    HRESULT PitchGet(uint16_t* pitch) override;
    HRESULT PitchSet(uint16_t pitch) override;
    HRESULT RealTimeGet(uint32_t* realTime) override;
    HRESULT RealTimeSet(uint32_t realTime) override;
    HRESULT SpeedGet(uint32_t* speed) override;
    HRESULT SpeedSet(uint32_t speed) override;
    HRESULT VolumeGet(uint32_t* volume) override;
    HRESULT VolumeSet(uint32_t volume) override;

    HRESULT SpeedFactorSet(double factor) override;
    HRESULT SpeedFactorGet(double* factor) override;
    HRESULT Prepare(uint32_t characterSet, uint32_t flags, const char* text, uint32_t size,
                    std::shared_ptr<ITTSPreparedNotifySink> sink, uint64_t* id) override;
    HRESULT DiscardPrepared() override;

    // The engine has no dialogs of its own.
    HRESULT AboutDlg(void*, const char*) override { return E_NOTIMPL; }
    HRESULT GeneralDlg(void*, const char*) override { return E_NOTIMPL; }
    HRESULT LexiconDlg(void*, const char*) override { return E_NOTIMPL; }
    HRESULT TranslateDlg(void*, const char*) override { return E_NOTIMPL; }

    // The engine's limits: real time in percent of real time.
    static constexpr uint32_t MinRealTime = 1, MaxRealTime = 10000, NormalRealTime = 100;
    const TTSLimits& Limits() const { return FLimits; }
    // How many prepared texts are held.
    size_t PreparedCount() const { return FClips.size(); }

    struct TText; // one TextData on its way to the listener
    struct TClip; // one text synthesised ahead

private:
    int TextRate() const;
    // The job that speaks `text` as TextData with `flags` would, starting
    // from (and updating) `prosody`; its callbacks are the caller's to set.
    // `spoken` receives the text as Flite reads it, whose byte offsets the
    // job's word positions are.
    TFliteJob MakeJob(const std::string& text, uint32_t flags, TTSProsody& prosody,
                      std::shared_ptr<const TFliteText>& spoken) const;
    // The prepared text that a TextData of `text` with `flags` would speak
    // now, taken out of the store; null when there is none.
    std::shared_ptr<TClip> TakePrepared(const std::string& text, uint32_t flags);
    void Drop(const std::shared_ptr<TClip>& clip);
    void ReportPrepared(const std::shared_ptr<TClip>& clip);
    void Start(const std::shared_ptr<TText>& text);
    void Pump(const std::shared_ptr<TText>& text);
    void WriteAudio(TText& text, const int16_t* samples, size_t count);
    void Heard(const std::shared_ptr<TText>& text, uint64_t mark);
    void Finish(const std::shared_ptr<TText>& text); // synthesis done
    void End(const std::shared_ptr<TText>& text);    // heard to its end
    void Close(const std::shared_ptr<TText>& text);
    void NotifyStart();
    void NotifyStop();
    // The end of audio that AudioReset cut off, reported once: when its
    // posted report arrives, or before new audio starts, whichever is first.
    void ReportPendingStop();

    IAudioOutput& FAudio;
    IEventPoster& FPoster;
    std::shared_ptr<TFliteEngine> FEngine;
    size_t FVoice;
    int FOutputRate;
    std::shared_ptr<TFliteMultiMediaDevice> FDevice;
    std::shared_ptr<TFliteAudioFile> FFile;
    TTSLimits FLimits;
    TTSProsody FProsody;
    uint32_t FRealTime = NormalRealTime;
    bool FPaused = false;
    bool FAudioRunning = false; // AudioStart reported, AudioStop not yet
    bool FStopPending = false;  // reset audio whose AudioStop is not reported yet
    std::map<uint32_t, std::shared_ptr<ITTSNotifySinkA>> FSinks;
    uint32_t FNextKey = 1;
    std::deque<std::shared_ptr<TText>> FTexts; // the front one is heard
    double FSpeedFactor = 1.0;
    std::deque<std::shared_ptr<TClip>> FClips; // prepared, oldest first
    uint64_t FNextPrepareId = 1;
    TFliteTextReader FTextReader;
};

} // namespace parlino
