#pragma once
// A film's sound through FFmpeg's demuxers, decoders, resampler (for the
// sample format only: rate and channels stay the film's) and encoders.

#include "platform/IFilmAudio.h"

namespace parlino {

class TFfmpegFilmAudio final : public IFilmAudio {
public:
    std::unique_ptr<IFilmAudioDecoder> OpenSound(const std::string& path) const override;
    std::unique_ptr<ISoundFileWriter> CreateSoundFile(const std::string& path, const std::string& shownName,
                                                      const TSoundFileParams& params) const override;
};

} // namespace parlino
