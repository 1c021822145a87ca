#pragma once
// The first audio stream of a film, decoded to interleaved floats at the
// stream's own rate and channel layout. Only that stream's packets are
// decoded; the demuxer skips the others.

#include "platform/IFilmAudio.h"
#include "platform/linux/FfmpegHandles.h"

namespace parlino {

class TFfmpegAudioDecoder final : public IFilmAudioDecoder {
public:
    // Throws EFOpenError for a file that is not a film, EParlinoError for one
    // without a decodable audio stream.
    explicit TFfmpegAudioDecoder(const std::string& path);
    ~TFfmpegAudioDecoder() override;
    TFfmpegAudioDecoder(const TFfmpegAudioDecoder&) = delete;
    TFfmpegAudioDecoder& operator=(const TFfmpegAudioDecoder&) = delete;

    const TFilmAudioInfo& Info() const override { return FInfo; }
    size_t Read(std::vector<float>& interleaved) override;

private:
    // Converts one decoded frame; sets the converter up again when the
    // stream's format changes mid-way.
    size_t Convert(const AVFrame* frame, std::vector<float>& out);
    // Sets the silence to add or the frames to drop for a stream that does
    // not start at time 0.
    void StartAt(int64_t pts);
    static constexpr int MaxStartOffsetSeconds = 60;

    AVFormatContext* FInput = nullptr;
    AVStream* FStream = nullptr;
    ffmpeg::TCodec FCodec;
    ffmpeg::TSwr FSwr;
    ffmpeg::TPacket FPacket;
    ffmpeg::TFrame FFrame;
    AVChannelLayout FOutLayout{};
    AVChannelLayout FInLayout{};
    int FInRate = 0;
    int FInFormat = -1;
    bool FInputEnded = false, FFlushSent = false, FDone = false;
    // Time 0 of the sound is the film's time 0: a stream that starts later
    // begins with silence, one that starts earlier loses what comes before.
    bool FStartKnown = false;
    int64_t FPadFrames = 0, FDropFrames = 0;
    std::vector<float> FPending; // a decoded frame waiting behind the silence
    TFilmAudioInfo FInfo;
};

} // namespace parlino
