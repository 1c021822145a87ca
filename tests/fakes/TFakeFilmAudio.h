#pragma once
// A film's sound that the test sets (its format and samples, or no audio
// stream at all), decoded in blocks of BlockFrames; what is written goes to
// Written, and writing can fail after a number of frames as a full disk does.

#include "platform/Exceptions.h"
#include "platform/IFilmAudio.h"

#include <algorithm>
#include <memory>

namespace parlino::test {

class TFakeFilmAudio final : public IFilmAudio {
public:
    bool HasAudio = true;
    TFilmAudioInfo Info{48000, {TChannelRole::FrontLeft, TChannelRole::FrontRight}, "stereo", -1, "pcm_s16le"};
    std::vector<float> Samples; // interleaved
    size_t BlockFrames = 1000;
    // What the writer was given, and when it fails: after this many frames.
    mutable std::vector<int16_t> Written;
    mutable bool Finished = false;
    size_t FailAfterFrames = SIZE_MAX;

    std::unique_ptr<IFilmAudioDecoder> OpenSound(const std::string& path) const override {
        if (!HasAudio) throw EParlinoError("\"" + path + "\" has no audio stream to mix the voice into.");
        return std::make_unique<TDecoder>(*this);
    }
    std::unique_ptr<ISoundFileWriter> CreateSoundFile(const std::string&, const std::string& shownName,
                                                      const TSoundFileParams& params) const override {
        Written.clear();
        Finished = false;
        return std::make_unique<TWriter>(*this, shownName, params.Channels.size());
    }

private:
    struct TDecoder final : IFilmAudioDecoder {
        explicit TDecoder(const TFakeFilmAudio& film) : Film(film) {}
        const TFilmAudioInfo& Info() const override { return Film.Info; }
        size_t Read(std::vector<float>& out) override {
            const size_t channels = Film.Info.Channels.size();
            const size_t frames = std::min(Film.BlockFrames, Film.Samples.size() / channels - Next);
            out.assign(Film.Samples.begin() + std::ptrdiff_t(Next * channels),
                       Film.Samples.begin() + std::ptrdiff_t((Next + frames) * channels));
            Next += frames;
            return frames;
        }
        const TFakeFilmAudio& Film;
        size_t Next = 0;
    };
    struct TWriter final : ISoundFileWriter {
        TWriter(const TFakeFilmAudio& film, std::string name, size_t channels)
            : Film(film), Name(std::move(name)), Channels(channels) {}
        void Write(const int16_t* samples, size_t frames) override {
            if (Film.Written.size() / Channels + frames > Film.FailAfterFrames)
                throw EParlinoError("Cannot write file \"" + Name + "\". No space left on device");
            Film.Written.insert(Film.Written.end(), samples, samples + frames * Channels);
        }
        void Finish() override { Film.Finished = true; }
        const TFakeFilmAudio& Film;
        std::string Name;
        size_t Channels;
    };
};

} // namespace parlino::test
