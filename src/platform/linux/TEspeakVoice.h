#pragma once
// The modern voice API over espeak-ng: voice tokens, audio output tokens and
// a voice that speaks (plain or marked-up) wide text into the audio layer or
// into a WAV file.

#include "platform/IAudioOutput.h"
#include "platform/IEventPoster.h"
#include "platform/linux/TEspeakEngine.h"
#include "platform/linux/TWavFileStream.h"
#include "speech/SpeechLib_TLB.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlino {

// ---- Mark-up -------------------------------------------------------------

struct TSpeechProsody {
    int32_t Rate = 0;     // -10..10, the voice's rate scale
    int32_t Volume = 100; // 0..100, percent of full volume
    int32_t Pitch = 0;    // -50..50 around the voice's middle
    bool Emphasis = false;
    bool operator==(const TSpeechProsody&) const = default;
};

// A stretch of the spoken text that shares one prosody: SilenceMs of silence,
// then Utf8Text.
struct TSpeechRun {
    TSpeechProsody Prosody;
    int32_t SilenceMs = 0;
    std::string Utf8Text;
    // Per code point of Utf8Text: the UTF-16 units [Starts[i], Ends[i]) of
    // the text given to Speak it came from (an entity spans its spelling).
    std::vector<int32_t> Starts, Ends;
};

// Splits the text of a Speak into runs. `rate` and `volume` are the voice's
// Rate and Volume. Without `xml` the text is spoken as it is. With `xml` the
// tags pitch (absmiddle, middle), rate (absspeed, speed), volume (level),
// silence (msec) and emph are honoured, in the empty-element form for the rest
// of the enclosing scope, or opened and closed; every other tag, comment or
// declaration is skipped unspoken, as is a tag without its closing '>' (it
// ends before the next '<'); the entities &lt; &gt; &amp; &quot; &apos; and
// numeric character references are decoded; a '<' that opens no tag is
// dropped, an '&' that starts no entity is spoken. Control characters and
// unpaired surrogates become spaces.
std::vector<TSpeechRun> ParseSpeechText(std::u16string_view text, bool xml, int32_t rate,
                                        int32_t volume);

// Rate -10..10 to words per minute: geometric around 175 (espeak-ng's normal
// speed), 450 at +10 and 80 at -10 (espeak-ng's limits).
int EspeakWordsPerMinute(int32_t rate);
// Pitch -50..50 to espeak-ng's 0..100, 0 giving 50.
int EspeakPitch(int32_t pitch);
// Volume 0..100 to espeak-ng's amplitude, 100 being its normal level.
int EspeakAmplitude(int32_t volume);

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
    TEspeakAudioOutputToken(int index, std::string name) : Index(index), Name(std::move(name)) {}
    WideString GetDescription(int32_t locale = 0) const override; // the device name
    const int Index; // into IAudioOutput::OutputDevices
    const std::string Name;
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
    // Applies from the next Speak; a token of another kind throws.
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
        int Device = -1;
        TWavFileStream* File = nullptr;
    };

    void Start(TUtterance utterance);
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
    int FDevice = -1;
    TWavFileStream* FFile = nullptr;
    int32_t FRate = 0;
    int32_t FVolume = 100;
    int32_t FInterests = SVEAllEvents;
    bool FPaused = false;
    int32_t FLastNumber = 0;

    std::shared_ptr<TStream> FCurrent;
    std::deque<TUtterance> FWaiting;
};

} // namespace parlino
