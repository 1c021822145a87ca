#pragma once
// The modern voice API: an object model with the members of the automation
// voice the speech facade uses (voice and audio output tokens, Rate, Volume,
// EventInterests, Speak with flags, Pause, Resume, the StartStream, EndStream
// and Word events, and a file stream that writes a WAV file).

#include "platform/ITextCodec.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace parlino {

// A voice or an audio output.
class ISpeechObjectToken {
public:
    virtual ~ISpeechObjectToken() = default;
    virtual WideString GetDescription(int32_t locale = 0) const = 0;
};
using TSpeechObjectToken = std::shared_ptr<ISpeechObjectToken>;
using TSpeechObjectTokens = std::vector<TSpeechObjectToken>;

enum SpeechVoiceSpeakFlags : int32_t {
    SVSFDefault = 0,
    SVSFlagsAsync = 1,
    SVSFPurgeBeforeSpeak = 2,
    SVSFIsFilename = 4,
    SVSFIsXML = 8,
};

enum SpeechVoiceEvents : int32_t {
    SVEStartInputStream = 2,
    SVEEndInputStream = 4,
    SVEVoiceChange = 8,
    SVEBookmark = 16,
    SVEWordBoundary = 32,
    SVEAllEvents = 33790,
};

// SSFMCreateForWrite
constexpr int32_t SSFMCreateForWrite = 3;

// A WAV file the voice writes into instead of a sound device.
class ISpeechFileStream {
public:
    virtual ~ISpeechFileStream() = default;
    virtual void Open(const WideString& fileName, int32_t fileMode, bool doEvents) = 0;
    virtual void Close() = 0;
};

class ISpeechVoice {
public:
    virtual ~ISpeechVoice() = default;

    virtual TSpeechObjectTokens GetVoices(const WideString& required = {}, const WideString& optional = {}) = 0;
    virtual TSpeechObjectTokens GetAudioOutputs(const WideString& required = {}, const WideString& optional = {}) = 0;
    virtual void SetVoice(const TSpeechObjectToken& voice) = 0;
    // Null selects the system's default device.
    virtual void SetAudioOutput(const TSpeechObjectToken& output) = 0;
    // Null returns to the audio output; the stream must outlive its use.
    virtual void SetAudioOutputStream(ISpeechFileStream* stream) = 0;
    virtual int32_t Rate() const = 0;          // -10..10
    virtual void SetRate(int32_t rate) = 0;
    virtual int32_t Volume() const = 0;        // 0..100
    virtual void SetVolume(int32_t volume) = 0;
    virtual void SetEventInterests(int32_t interests) = 0;
    // Returns the stream number. With SVSFlagsAsync it returns at once;
    // SVSFPurgeBeforeSpeak cancels what the voice was saying; SVSFIsXML reads
    // the mark-up; an empty text with only the purge flag silences the voice.
    virtual int32_t Speak(const WideString& text, int32_t flags) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    // The audio output that was chosen for the last stream opened on a sound
    // device but could not be used (it had gone), so that stream plays on the
    // default device; null when the chosen output (or the default) was used.
    virtual TSpeechObjectToken UnavailableAudioOutput() const { return nullptr; }

    // Speaking faster and synthesis ahead (this program's own additions).
    // The rate factor multiplies the speaking rate that Rate and the mark-up
    // give, by the engine's own rate (the pitch stays); it applies from the
    // next Speak or Prepare. 1 is the normal rate.
    virtual void SetRateFactor(double factor) = 0;
    // Synthesises `text` (as Speak(text, flags) would) with the voice, rate,
    // rate factor and volume set now into memory, off the program's thread,
    // and raises OnPrepared with its id and spoken length once done. A later
    // Speak of the same text with the same settings plays that audio instead
    // of synthesising anew, so it sounds at once. Returns the id (never 0), or
    // 0 when the voice cannot prepare (a file output is set).
    virtual uint64_t Prepare(const WideString& text, int32_t flags) = 0;
    // Forgets every prepared text and cancels the synthesis of those not done.
    virtual void DiscardPrepared() = 0;
    // Delivered on the program's thread, through the voice's poster. A
    // duration of -1 reports a text the voice had to drop (to bound its
    // memory) before it was done; DiscardPrepared reports nothing.
    std::function<void(uint64_t prepareId, int64_t durationMs)> OnPrepared;

    // Delivered on the program's thread, through the poster the voice was
    // created with.
    std::function<void(int32_t streamNumber, int64_t streamPosition)> OnStartStream;
    std::function<void(int32_t streamNumber, int64_t streamPosition)> OnEndStream;
    // characterPosition counts UTF-16 units of the text passed to Speak,
    // mark-up included.
    std::function<void(int32_t streamNumber, int64_t streamPosition, int32_t characterPosition, int32_t length)>
        OnWord;
};

// The facade's names for the voice and the file stream it creates.
using TSpVoice = ISpeechVoice;
using TSpFileStream = ISpeechFileStream;

} // namespace parlino
