#pragma once
// The modern voice API on Windows: the object model of speech/SpeechLib_TLB.h
// over the system's SAPI 5 through its C++ COM interfaces (ISpVoice, the
// object token categories and tokens, ISpStream).
//
// Why these and not the automation interfaces (ISpeechVoice and its
// dispatch events): MinGW-w64's sapi51.h declares both, but the ISpVoice
// family gives its events through ISpEventSource::GetEvents, which the voice
// calls on the program's thread whenever its notify sink (called on any of
// SAPI's threads) has posted word through the poster. That needs neither a
// message loop (parlino-render has none) nor IDispatch event sinks and
// VARIANT stream positions, and it is the same delivery as on Linux.
//
// Everything is called on the program's thread, which the voice initialises
// for COM (a single-threaded apartment) when it is created.

#include "platform/IAudioOutput.h"
#include "platform/IEventPoster.h"
#include "speech/SpeechLib_TLB.h"

#include <memory>

namespace parlino {

// True when the registry holds the SAPI 5 voice class: "SAPI.SpVoice", else
// "CLSID\{96749377-3391-11D2-9EE3-00C04F797396}" under HKEY_CLASSES_ROOT. Reads
// the registry on every call; a failure counts as not installed.
bool Sapi5ClassRegistered();

// A SAPI 5 WAV file (SpFileStream), 22050 Hz 16-bit mono as the automation
// stream's default format.
class TSapi5FileStream final : public ISpeechFileStream {
public:
    // Throws EParlinoError when the system's file stream class cannot be made.
    TSapi5FileStream();
    ~TSapi5FileStream() override;
    TSapi5FileStream(const TSapi5FileStream&) = delete;
    TSapi5FileStream& operator=(const TSapi5FileStream&) = delete;

    // fileMode as SpeechStreamFileMode (3: create for writing); doEvents is
    // not used. Throws EParlinoError with the COM error.
    void Open(const WideString& fileName, int32_t fileMode, bool doEvents) override;
    void Close() override;
    // The stream as IUnknown*, for the voice's output.
    void* ComStream() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};

// SAPI 5 is an in-process server (sapi.dll): its classes are made with
// CLSCTX_INPROC_SERVER only.
//
// SpVoice. Tokens it gives are its own (they hold the system's tokens); a
// token from elsewhere throws EParlinoError. Speak's flags are SAPI's own
// (SPF_ASYNC, SPF_PURGEBEFORESPEAK, SPF_IS_FILENAME, SPF_IS_XML), passed on
// unchanged; the stream number is SAPI's. Events: the ones SetEventInterests
// asks for (StartStream, EndStream and Word are those this layer reports),
// raised on the program's thread through `poster`, in the order SAPI queued
// them. Failing calls throw EParlinoError carrying the COM error.
//
// The program's own additions have a plain Windows behaviour: the rate factor
// is mapped onto SAPI's rate (a step of 10 triples the speed, so the rate is
// raised by 10*log3(factor), held to -10..10) from the next Speak; Prepare
// answers 0 (cannot prepare), so the text is synthesised when spoken;
// UnavailableAudioOutput is always null.
//
// Through an audio layer (`audio` given, as parlino-render's timeline): SAPI
// speaks each text synchronously into memory (16-bit mono at `sampleRate`),
// and the voice plays that through the layer, one stream per Speak of a
// text, on the device of the audio output token's index (none: the default).
// StartStream is raised when the stream's first sample is heard, Word when
// the word's audio position is heard, EndStream when the stream is drained
// (or has failed); a stream cut by a purge raises nothing more. Pause and
// Resume act on the stream playing; a file stream as output is refused.
class TSapi5Voice final : public ISpeechVoice {
public:
    // Throws EParlinoError when the system's voice class cannot be made. The
    // poster (and the audio layer) must outlive the voice.
    explicit TSapi5Voice(IEventPoster& poster, IAudioOutput* audio = nullptr,
                         int sampleRate = 22050);
    ~TSapi5Voice() override;
    TSapi5Voice(const TSapi5Voice&) = delete;
    TSapi5Voice& operator=(const TSapi5Voice&) = delete;

    // The attributes are SAPI's token attributes (empty: all). A token whose
    // description cannot be read is left out (Wine's SAPI lists one such).
    TSpeechObjectTokens GetVoices(const WideString& required = {},
                                  const WideString& optional = {}) override;
    TSpeechObjectTokens GetAudioOutputs(const WideString& required = {},
                                        const WideString& optional = {}) override;
    void SetVoice(const TSpeechObjectToken& voice) override;
    void SetAudioOutput(const TSpeechObjectToken& output) override;
    // Must be a TSapi5FileStream; null returns to the audio output set.
    void SetAudioOutputStream(ISpeechFileStream* stream) override;
    int32_t Rate() const override;
    void SetRate(int32_t rate) override;
    int32_t Volume() const override;
    void SetVolume(int32_t volume) override;
    void SetEventInterests(int32_t interests) override;
    int32_t Speak(const WideString& text, int32_t flags) override;
    void Pause() override;
    void Resume() override;
    void SetRateFactor(double factor) override;
    uint64_t Prepare(const WideString& text, int32_t flags) override;
    void DiscardPrepared() override;

    // Reads every event SAPI holds now and raises it (what the posted work
    // does); for tests that want the events at a point of their own. Not
    // for the voice on an audio layer.
    void DeliverEvents();

private:
    int32_t SpeakIntoAudio(const WideString& text, int32_t flags);
    void ApplyRateFactor();
    struct TImpl;
    std::unique_ptr<TImpl> F;
};

} // namespace parlino
