#include "platform/linux/TFfmpegFilmAudio.h"

#include "platform/linux/TFfmpegAudioDecoder.h"
#include "platform/linux/TFfmpegSoundFileWriter.h"

namespace parlino {

std::unique_ptr<IFilmAudioDecoder> TFfmpegFilmAudio::OpenSound(const std::string& path) const {
    return std::make_unique<TFfmpegAudioDecoder>(path);
}

std::unique_ptr<ISoundFileWriter> TFfmpegFilmAudio::CreateSoundFile(const std::string& path,
                                                                    const std::string& shownName,
                                                                    const TSoundFileParams& params) const {
    return std::make_unique<TFfmpegSoundFileWriter>(path, shownName, params);
}

} // namespace parlino
