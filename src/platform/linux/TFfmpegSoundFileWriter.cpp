#include "platform/linux/TFfmpegSoundFileWriter.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace parlino {
namespace {

struct TContainer {
    const char* Muxer;
    AVCodecID Codec;
};

TContainer ContainerOf(TSoundFileFormat format) {
    switch (format) {
    case TSoundFileFormat::Flac: return {"flac", AV_CODEC_ID_FLAC};
    case TSoundFileFormat::M4a: return {"ipod", AV_CODEC_ID_AAC};
    case TSoundFileFormat::Wav: break;
    }
    return {"wav", AV_CODEC_ID_PCM_S16LE};
}

// 16-bit samples as they are where the encoder takes them, else planar floats (AAC).
AVSampleFormat SampleFormatFor(const AVCodec* codec) {
    bool fltp = false;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == AV_SAMPLE_FMT_S16) return AV_SAMPLE_FMT_S16;
        fltp = fltp || *f == AV_SAMPLE_FMT_FLTP;
    }
    return fltp ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_NONE;
}

} // namespace

TFfmpegSoundFileWriter::TFfmpegSoundFileWriter(const std::string& path, std::string shownName,
                                               const TSoundFileParams& params)
    : FShownName(std::move(shownName)), FChannels(params.Channels.size()) {
    auto fail = [&](const std::string& reason) {
        Close();
        throw EFOpenError("Cannot open file \"" + FShownName + "\". " + reason);
    };
    const TContainer container = ContainerOf(params.Format);
    const AVCodec* encoder = avcodec_find_encoder(container.Codec);
    const AVSampleFormat format = encoder ? SampleFormatFor(encoder) : AV_SAMPLE_FMT_NONE;
    if (format == AV_SAMPLE_FMT_NONE) fail("This system has no encoder for it.");
    if (avformat_alloc_output_context2(&FOutput, nullptr, container.Muxer, path.c_str()) < 0 || !FOutput)
        fail("This system cannot write files of its kind.");
    FCodec.reset(avcodec_alloc_context3(encoder));
    FFrame.reset(av_frame_alloc());
    FPacket.reset(av_packet_alloc());
    FStream = avformat_new_stream(FOutput, nullptr);
    if (!FCodec || !FFrame || !FPacket || !FStream || FChannels == 0) fail("Out of memory.");
    if (params.Layout.empty() || av_channel_layout_from_string(&FCodec->ch_layout, params.Layout.c_str()) < 0 ||
        FCodec->ch_layout.nb_channels != int(FChannels)) {
        av_channel_layout_uninit(&FCodec->ch_layout);
        av_channel_layout_default(&FCodec->ch_layout, int(FChannels));
    }
    FCodec->sample_rate = params.SampleRate;
    FCodec->sample_fmt = format;
    FCodec->time_base = AVRational{1, params.SampleRate};
    if (container.Codec == AV_CODEC_ID_AAC) FCodec->bit_rate = 96000 * std::min<int64_t>(int64_t(FChannels), 2) +
                                                               64000 * std::max<int64_t>(0, int64_t(FChannels) - 2);
    if (FOutput->oformat->flags & AVFMT_GLOBALHEADER) FCodec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int result = avcodec_open2(FCodec.get(), encoder, nullptr);
    if (result < 0) fail("Its format cannot hold this sound (" + ffmpeg::ErrorText(result) + ").");
    if (avcodec_parameters_from_context(FStream->codecpar, FCodec.get()) < 0) fail("Out of memory.");
    FStream->time_base = FCodec->time_base;
    FFrameSize = FCodec->frame_size > 0 ? size_t(FCodec->frame_size) : 16384;
    result = FFile.Open(path);
    if (result < 0) fail(ffmpeg::ErrorText(result));
    FOutput->pb = FFile.Context();
    FOutput->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVDictionary* options = nullptr;
    if (params.Format == TSoundFileFormat::Wav) av_dict_set(&options, "rf64", "auto", 0);
    result = avformat_write_header(FOutput, &options);
    av_dict_free(&options);
    if (result < 0) fail(ffmpeg::ErrorText(result));
    FHeaderWritten = true;
}

TFfmpegSoundFileWriter::~TFfmpegSoundFileWriter() {
    Close();
}

void TFfmpegSoundFileWriter::Close() {
    if (FOutput) {
        FOutput->pb = nullptr; // FFile's
        avformat_free_context(FOutput);
        FOutput = nullptr;
    }
    FFile.Close();
}

void TFfmpegSoundFileWriter::Fail(int code) const {
    throw EParlinoError("Cannot write file \"" + FShownName + "\". " + ffmpeg::ErrorText(code));
}

void TFfmpegSoundFileWriter::Write(const int16_t* interleaved, size_t frames) {
    if (FFinished || !FOutput) throw EParlinoError("Cannot write file \"" + FShownName + "\". It is closed.");
    // The pending part frame is completed first; whole frames then go
    // straight from the caller's samples, and the rest waits.
    if (!FPending.empty()) {
        const size_t take = std::min(frames, FFrameSize - FPending.size() / FChannels);
        FPending.insert(FPending.end(), interleaved, interleaved + take * FChannels);
        interleaved += take * FChannels;
        frames -= take;
        if (FPending.size() < FFrameSize * FChannels) return;
        Encode(FPending.data(), FFrameSize, false);
        FPending.clear();
    }
    for (; frames >= FFrameSize; frames -= FFrameSize, interleaved += FFrameSize * FChannels)
        Encode(interleaved, FFrameSize, false);
    FPending.assign(interleaved, interleaved + frames * FChannels);
}

void TFfmpegSoundFileWriter::Encode(const int16_t* samples, size_t frames, bool end) {
    int result = 0;
    if (frames > 0) {
        av_frame_unref(FFrame.get());
        FFrame->nb_samples = int(frames);
        FFrame->format = FCodec->sample_fmt;
        FFrame->sample_rate = FCodec->sample_rate;
        if (av_channel_layout_copy(&FFrame->ch_layout, &FCodec->ch_layout) < 0 ||
            av_frame_get_buffer(FFrame.get(), 0) < 0)
            Fail(AVERROR(ENOMEM));
        if (FCodec->sample_fmt == AV_SAMPLE_FMT_S16) {
            std::memcpy(FFrame->data[0], samples, frames * FChannels * sizeof(int16_t));
        } else {
            for (size_t c = 0; c < FChannels; ++c) {
                float* plane = reinterpret_cast<float*>(FFrame->extended_data[c]);
                for (size_t i = 0; i < frames; ++i) plane[i] = float(samples[i * FChannels + c]) / 32768.0f;
            }
        }
        FFrame->pts = FNextPts;
        FNextPts += int64_t(frames);
        result = avcodec_send_frame(FCodec.get(), FFrame.get());
        if (result < 0) Fail(result);
    }
    if (end && (result = avcodec_send_frame(FCodec.get(), nullptr)) < 0) Fail(result);
    for (;;) {
        result = avcodec_receive_packet(FCodec.get(), FPacket.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) break;
        if (result < 0) Fail(result);
        av_packet_rescale_ts(FPacket.get(), FCodec->time_base, FStream->time_base);
        FPacket->stream_index = FStream->index;
        result = av_interleaved_write_frame(FOutput, FPacket.get());
        if (result < 0) Fail(result);
    }
}

void TFfmpegSoundFileWriter::Finish() {
    if (FFinished) return;
    FFinished = true;
    // The last, shorter frame; every encoder used here takes one.
    Encode(FPending.data(), FPending.size() / FChannels, true);
    FPending.clear();
    int result = av_write_trailer(FOutput);
    if (result < 0) Fail(result);
    FOutput->pb = nullptr;
    result = FFile.Close();
    if (result < 0) Fail(result);
}

} // namespace parlino
