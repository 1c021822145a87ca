#pragma once
// A film's own sound: its first audio stream decoded in blocks at its own
// rate and channel count, and a sound file written in a format chosen by the
// caller. parlino-render mixes the voice-over into one and writes the other.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace parlino {

// What a channel carries, as far as placing a voice in it matters.
enum class TChannelRole { FrontLeft, FrontRight, FrontCentre, Other };

struct TFilmAudioInfo {
    int SampleRate = 0;
    std::vector<TChannelRole> Channels; // one per channel, in the interleaved order
    std::string Layout;                 // the decoder's name for the channel layout
    int64_t DurationMs = -1;            // what the file says of its length; -1 unknown
    std::string Codec;                  // the film's name for the stream's format
};

class IFilmAudioDecoder {
public:
    virtual ~IFilmAudioDecoder() = default;
    virtual const TFilmAudioInfo& Info() const = 0;
    // Replaces `interleaved` with the next decoded frames (floats, about
    // -1..1, Channels.size() per frame) and returns how many frames; 0 at
    // the end. A file cut short or damaged ends where it can no longer be
    // decoded.
    virtual size_t Read(std::vector<float>& interleaved) = 0;
};

enum class TSoundFileFormat { Wav, Flac, M4a };

struct TSoundFileParams {
    TSoundFileFormat Format = TSoundFileFormat::Wav;
    int SampleRate = 0;
    std::vector<TChannelRole> Channels;
    std::string Layout; // as TFilmAudioInfo gives it; empty: the usual one for the count
};

class ISoundFileWriter {
public:
    virtual ~ISoundFileWriter() = default;
    // Appends interleaved 16-bit frames. Throws EParlinoError "Cannot write
    // file "NAME". reason" when they could not be written.
    virtual void Write(const int16_t* interleaved, size_t frames) = 0;
    // Encodes what is buffered, writes the file's end and closes it; throws as
    // Write does. Without Finish the file is left incomplete.
    virtual void Finish() = 0;
};

class IFilmAudio {
public:
    virtual ~IFilmAudio() = default;
    // Throws EFOpenError when the file cannot be opened as a film, and
    // EParlinoError when it has no audio stream that can be decoded.
    virtual std::unique_ptr<IFilmAudioDecoder> OpenSound(const std::string& path) const = 0;
    // Creates (or truncates) `path`; messages name the file `shownName`.
    // Throws EFOpenError when it cannot be created.
    virtual std::unique_ptr<ISoundFileWriter> CreateSoundFile(const std::string& path, const std::string& shownName,
                                                              const TSoundFileParams& params) const = 0;
};

} // namespace parlino
