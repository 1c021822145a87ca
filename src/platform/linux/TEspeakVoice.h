#pragma once
// The modern voice API over espeak-ng: voice tokens, audio output tokens and
// a voice that speaks (plain or marked-up) wide text into the audio layer or
// into a WAV file.

#include "platform/IAudioOutput.h"
#include "platform/IEventPoster.h"
#include "platform/linux/TEspeakEngine.h"
#include "platform/linux/TEspeakMarkup.h"
#include "platform/linux/TWavFileStream.h"
#include "speech/SpeechLib_TLB.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlino {

// ---- Tokens --------------------------------------------------------------

class TEspeakVoiceToken final : public ISpeechObjectToken {
public:
    explicit TEspeakVoiceToken(TEspeakVoiceInfo info) : Info(std::move(info)) {}
    // "<name> (<language>)", e.g. "English (Great Britain) (en-gb)".
    WideString GetDescription(int32_t locale = 0) const override;
    const TEspeakVoiceInfo Info;
};

class TEspeakAudioOutputToken final : public ISpeechObjectToken {
public:
    TEspeakAudioOutputToken(int index, std::string name, std::string id)
        : Index(index), Name(std::move(name)), Id(std::move(id)) {}
    WideString GetDescription(int32_t locale = 0) const override; // the device name
    const int Index; // into IAudioOutput::OutputDeviceInfos, when the token was made
    const std::string Name; // UTF-8
    const std::string Id;   // identifies the device when the list changes
};

// ---- The voice -----------------------------------------------------------

// Lives on the program's thread: every member is called there and every event
// is raised there, through `poster`. The audio output and the poster must
// outlive the voice.
//
// Streams. Each Speak returns a new stream number (1, 2, ...). A Speak with a
// non-empty text raises StartStream when its first audio reaches the output
// (at once before EndStream when the text makes no sound), Word as each word
// is heard (for a file: as it is written), and EndStream when the output has
// played everything (a file: when everything is written) or the sound device
// failed. A stream cut by a purge raises nothing more after the purging
// Speak returns, not even events already under way, so the EndStream a
// program receives always belongs to the stream still speaking. A Speak with
// an empty text raises no events. Without the purge flag a Speak waits behind
// the one speaking.
class TEspeakSpeechVoice final : public ISpeechVoice {
public:
    TEspeakSpeechVoice(IAudioOutput& audio, IEventPoster& poster,
                       std::shared_ptr<TEspeakEngine> engine = TEspeakEngine::Shared());
    ~TEspeakSpeechVoice() override;
    TEspeakSpeechVoice(const TEspeakSpeechVoice&) = delete;
    TEspeakSpeechVoice& operator=(const TEspeakSpeechVoice&) = delete;

    // The attributes are ignored. Voice tokens are the same objects on every
    // call, one per espeak-ng voice, the default voice first.
    TSpeechObjectTokens GetVoices(const WideString& required = {},
                                  const WideString& optional = {}) override;
    // One token per device of the audio layer, in its order.
    TSpeechObjectTokens GetAudioOutputs(const WideString& required = {},
                                        const WideString& optional = {}) override;
    // Null: the default voice. A token of another kind throws EParlinoError.
    // Applies from the next Speak.
    void SetVoice(const TSpeechObjectToken& voice) override;
    // Applies from the next Speak; a token of another kind throws. Each
    // stream looks the device up by its name, so the choice follows the device
    // when others come and go; a device that has gone is replaced by the
    // default one (see UnavailableAudioOutput) until it is back.
    void SetAudioOutput(const TSpeechObjectToken& output) override;
    // Must be a TWavFileStream, open when Speak is called (else throws). A
    // stream still writing into a different file is cut, since that file
    // stream may be about to go away.
    void SetAudioOutputStream(ISpeechFileStream* stream) override;
    int32_t Rate() const override { return FRate; }
    void SetRate(int32_t rate) override; // clamped to -10..10
    int32_t Volume() const override { return FVolume; }
    void SetVolume(int32_t volume) override; // clamped to 0..100
    void SetEventInterests(int32_t interests) override { FInterests = interests; }
    // Always returns at once, also without SVSFlagsAsync; SVSFIsFilename is
    // not supported (the text is spoken). Throws when the output cannot be
    // opened (EParlinoError from the audio layer).
    int32_t Speak(const WideString& text, int32_t flags) override;
    // Pause the sound of the voice, also of streams started while paused.
    void Pause() override;
    void Resume() override;
    TSpeechObjectToken UnavailableAudioOutput() const override { return FUnavailableOutput; }
    void SetRateFactor(double factor) override; // clamped to 1..3
    uint64_t Prepare(const WideString& text, int32_t flags) override;
    void DiscardPrepared() override;

    int32_t EventInterests() const { return FInterests; }
    bool IsPaused() const { return FPaused; }
    // A stream is speaking or waiting.
    bool IsSpeaking() const { return FCurrent != nullptr || !FWaiting.empty(); }
    int SampleRate() const { return FEngine->SampleRate(); }

private:
    struct TStream;
    struct TUtterance {
        int32_t Number = 0;
        std::vector<TSpeechRun> Runs;
        std::string VoiceName;
        TSpeechObjectToken Output; // a TEspeakAudioOutputToken; null: the default device
        TWavFileStream* File = nullptr;
        std::shared_ptr<TStream> Prepared; // its audio synthesised ahead, if any
    };
    struct TPreparedText {
        std::string Key;
        std::shared_ptr<TStream> Stream;
    };
    // Prepared texts kept at most; the oldest goes first.
    static constexpr size_t MaxPrepared = 64;

    void Start(TUtterance utterance);
    std::shared_ptr<TStream> NewStream(std::vector<TSpeechRun> runs);
    // Starts the synthesis of a stream; `live` streams go before the texts
    // being synthesised ahead and keep at most a few seconds ahead of what
    // has been heard.
    void SubmitJob(const std::shared_ptr<TStream>& stream, const std::string& voiceName, bool live);
    std::string PreparedKey(const WideString& text, int32_t flags) const;
    std::shared_ptr<TStream> TakePrepared(const WideString& text, int32_t flags);
    void PreparedDone(const std::shared_ptr<TStream>& stream);
    // Forgets an utterance that will not be spoken.
    void Drop(TUtterance& utterance);
    // Opens the sound device for a stream: `output` when it is there, else the
    // default device (noted in FUnavailableOutput).
    std::unique_ptr<IAudioStream> OpenAudio(const TSpeechObjectToken& output, int sampleRate,
                                            const TAudioStreamEvents& events);
    void StartWaiting();
    void Purge();
    // Stops a stream for good: no more events, synthesis cancelled, sound off.
    void Close(const std::shared_ptr<TStream>& stream);
    void End(const std::shared_ptr<TStream>& stream);
    void Pump(const std::shared_ptr<TStream>& stream);
    void WriteAudio(TStream& stream, const int16_t* samples, size_t count);
    void WordReached(TStream& stream, const TEspeakEvent& event);
    void WordPlayed(const std::shared_ptr<TStream>& stream, int64_t bytePosition, int32_t position,
                    int32_t length);
    void FinishSynthesis(const std::shared_ptr<TStream>& stream);
    void RaiseStart(TStream& stream);

    IAudioOutput& FAudio;
    IEventPoster& FPoster;
    std::shared_ptr<TEspeakEngine> FEngine;
    TSpeechObjectTokens FVoiceTokens;

    std::string FVoiceName; // empty: the default voice
    TSpeechObjectToken FOutput; // null: the default device
    TSpeechObjectToken FUnavailableOutput;
    TWavFileStream* FFile = nullptr;
    int32_t FRate = 0;
    int32_t FVolume = 100;
    double FRateFactor = 1.0;
    int32_t FInterests = SVEAllEvents;
    bool FPaused = false;
    int32_t FLastNumber = 0;

    std::shared_ptr<TStream> FCurrent;
    std::deque<TUtterance> FWaiting;
    std::deque<TPreparedText> FPrepared;
    uint64_t FLastPrepareId = 0;
    // False once the voice is gone, for what it posted to itself.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

} // namespace parlino
