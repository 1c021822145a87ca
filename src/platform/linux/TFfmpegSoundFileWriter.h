#pragma once
// A sound file written through FFmpeg's encoders and muxers: 16-bit WAV
// (RF64 once it outgrows 4 GB), FLAC, or AAC in an M4A file.

#include "platform/IFilmAudio.h"
#include "platform/linux/FfmpegHandles.h"
#include "platform/linux/TDirectFileOutput.h"

#include <vector>

namespace parlino {

class TFfmpegSoundFileWriter final : public ISoundFileWriter {
public:
    // Throws EFOpenError "Cannot open file "shownName". reason".
    TFfmpegSoundFileWriter(const std::string& path, std::string shownName, const TSoundFileParams& params);
    ~TFfmpegSoundFileWriter() override;
    TFfmpegSoundFileWriter(const TFfmpegSoundFileWriter&) = delete;
    TFfmpegSoundFileWriter& operator=(const TFfmpegSoundFileWriter&) = delete;

    void Write(const int16_t* interleaved, size_t frames) override;
    void Finish() override;

private:
    // Encodes `frames` interleaved frames from `samples` (then, with `end`,
    // flushes the encoder) and writes the packets that come out.
    void Encode(const int16_t* samples, size_t frames, bool end);
    [[noreturn]] void Fail(int code) const;
    void Close();

    std::string FShownName;
    TDirectFileOutput FFile;
    AVFormatContext* FOutput = nullptr;
    AVStream* FStream = nullptr;
    ffmpeg::TCodec FCodec;
    ffmpeg::TFrame FFrame;
    ffmpeg::TPacket FPacket;
    size_t FChannels = 0;
    size_t FFrameSize = 0; // frames per encoder call
    int64_t FNextPts = 0;
    std::vector<int16_t> FPending; // interleaved, not yet encoded
    bool FHeaderWritten = false, FFinished = false;
};

} // namespace parlino
