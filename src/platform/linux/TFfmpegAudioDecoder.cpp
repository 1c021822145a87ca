#include "platform/linux/TFfmpegAudioDecoder.h"

#include "platform/Exceptions.h"

#include <algorithm>

namespace parlino {
namespace {

TChannelRole RoleOf(AVChannel channel) {
    switch (channel) {
    case AV_CHAN_FRONT_LEFT: return TChannelRole::FrontLeft;
    case AV_CHAN_FRONT_RIGHT: return TChannelRole::FrontRight;
    case AV_CHAN_FRONT_CENTER: return TChannelRole::FrontCentre;
    default: return TChannelRole::Other;
    }
}

// A layout whose order is known: a stream that only gives its channel count
// gets FFmpeg's usual layout for that count (mono is the centre).
void KnownLayout(const AVChannelLayout& given, AVChannelLayout& out) {
    if (given.order == AV_CHANNEL_ORDER_UNSPEC || given.nb_channels <= 0 ||
        av_channel_layout_copy(&out, &given) < 0)
        av_channel_layout_default(&out, given.nb_channels > 0 ? given.nb_channels : 1);
}

} // namespace

TFfmpegAudioDecoder::TFfmpegAudioDecoder(const std::string& path) {
    // What goes wrong is said in our own messages; FFmpeg's would land on the terminal.
    av_log_set_level(AV_LOG_QUIET);
    const int opened = avformat_open_input(&FInput, path.c_str(), nullptr, nullptr);
    if (opened < 0) throw EFOpenError("Cannot open file \"" + path + "\". " + ffmpeg::ErrorText(opened));
    if (avformat_find_stream_info(FInput, nullptr) < 0) {
        avformat_close_input(&FInput);
        throw EFOpenError("Cannot open file \"" + path + "\". It is not a film FFmpeg can read.");
    }
    try {
        for (unsigned i = 0; i < FInput->nb_streams; ++i) {
            AVStream* stream = FInput->streams[i];
            if (!FStream && stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) FStream = stream;
            else stream->discard = AVDISCARD_ALL;
        }
        if (!FStream) throw EParlinoError("\"" + path + "\" has no audio stream to mix the voice into.");
        const char* name = avcodec_get_name(FStream->codecpar->codec_id);
        const AVCodec* decoder = avcodec_find_decoder(FStream->codecpar->codec_id);
        FCodec.reset(decoder ? avcodec_alloc_context3(decoder) : nullptr);
        if (!FCodec || avcodec_parameters_to_context(FCodec.get(), FStream->codecpar) < 0 ||
            avcodec_open2(FCodec.get(), decoder, nullptr) < 0 || FCodec->sample_rate <= 0)
            throw EParlinoError("The sound of \"" + path + "\" (" + (name ? name : "?") +
                                ") cannot be decoded on this system.");
        FPacket.reset(av_packet_alloc());
        FFrame.reset(av_frame_alloc());
        if (!FPacket || !FFrame) throw EParlinoError("Out of memory while reading \"" + path + "\".");
        KnownLayout(FCodec->ch_layout, FOutLayout);
        FInfo.SampleRate = FCodec->sample_rate;
        for (int c = 0; c < FOutLayout.nb_channels; ++c)
            FInfo.Channels.push_back(RoleOf(av_channel_layout_channel_from_index(&FOutLayout, unsigned(c))));
        char layout[128] = {};
        if (av_channel_layout_describe(&FOutLayout, layout, sizeof layout) > 0) FInfo.Layout = layout;
        FInfo.Codec = name ? name : "";
        const AVRational ms{1, 1000};
        if (FStream->duration != AV_NOPTS_VALUE && FStream->duration > 0)
            FInfo.DurationMs = av_rescale_q(FStream->duration, FStream->time_base, ms);
        else if (FInput->duration != AV_NOPTS_VALUE && FInput->duration > 0)
            FInfo.DurationMs = av_rescale_q(FInput->duration, AVRational{1, AV_TIME_BASE}, ms);
    } catch (...) {
        av_channel_layout_uninit(&FOutLayout);
        avformat_close_input(&FInput);
        throw;
    }
}

TFfmpegAudioDecoder::~TFfmpegAudioDecoder() {
    av_channel_layout_uninit(&FOutLayout);
    av_channel_layout_uninit(&FInLayout);
    avformat_close_input(&FInput);
}

size_t TFfmpegAudioDecoder::Convert(const AVFrame* frame, std::vector<float>& out) {
    AVChannelLayout inLayout{};
    KnownLayout(frame->ch_layout, inLayout);
    if (!FSwr || frame->sample_rate != FInRate || frame->format != FInFormat ||
        av_channel_layout_compare(&inLayout, &FInLayout) != 0) {
        SwrContext* swr = nullptr;
        FSwr.reset();
        if (swr_alloc_set_opts2(&swr, &FOutLayout, AV_SAMPLE_FMT_FLT, FInfo.SampleRate, &inLayout,
                                AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
            swr_init(swr) < 0) {
            swr_free(&swr);
            av_channel_layout_uninit(&inLayout);
            throw EParlinoError("The film's sound changes to a format that cannot be converted.");
        }
        FSwr.reset(swr);
        av_channel_layout_uninit(&FInLayout);
        FInLayout = inLayout;
        FInRate = frame->sample_rate;
        FInFormat = frame->format;
    } else {
        av_channel_layout_uninit(&inLayout);
    }
    const int capacity = swr_get_out_samples(FSwr.get(), frame ? frame->nb_samples : 0);
    if (capacity <= 0) {
        out.clear();
        return 0;
    }
    const size_t channels = FInfo.Channels.size();
    // Grown only: what is there is overwritten, so it need not be cleared.
    if (out.size() < size_t(capacity) * channels) out.resize(size_t(capacity) * channels);
    uint8_t* target = reinterpret_cast<uint8_t*>(out.data());
    const int got = swr_convert(FSwr.get(), &target, capacity, const_cast<const uint8_t**>(frame->extended_data),
                                frame->nb_samples);
    out.resize(got > 0 ? size_t(got) * channels : 0);
    return got > 0 ? size_t(got) : 0;
}

void TFfmpegAudioDecoder::StartAt(int64_t pts) {
    FStartKnown = true;
    if (pts == AV_NOPTS_VALUE) return;
    const int64_t start = av_rescale_q(pts, FStream->time_base, AVRational{1, FInfo.SampleRate});
    // A stream whose clock starts far from 0 (a broadcast recording) is
    // taken as it comes.
    const int64_t limit = int64_t(MaxStartOffsetSeconds) * FInfo.SampleRate;
    if (start > 0 && start <= limit) FPadFrames = start;
    else if (start < 0 && start >= -limit) FDropFrames = -start;
}

size_t TFfmpegAudioDecoder::Read(std::vector<float>& interleaved) {
    const size_t channels = FInfo.Channels.size();
    if (FPadFrames > 0) {
        const size_t pad = size_t(std::min<int64_t>(FPadFrames, 16384));
        interleaved.assign(pad * channels, 0.0f);
        FPadFrames -= int64_t(pad);
        return pad;
    }
    if (!FPending.empty()) {
        interleaved.swap(FPending);
        FPending.clear();
        return interleaved.size() / channels;
    }
    // Errors of single packets are passed over; this many in a row end the sound.
    int failures = 0;
    while (!FDone && failures < 1000) {
        const int received = avcodec_receive_frame(FCodec.get(), FFrame.get());
        if (received == 0) {
            if (!FStartKnown) StartAt(FFrame->best_effort_timestamp);
            size_t frames = Convert(FFrame.get(), interleaved);
            av_frame_unref(FFrame.get());
            failures = 0;
            const size_t channels = FInfo.Channels.size();
            if (FDropFrames > 0) {
                const size_t drop = std::min(frames, size_t(FDropFrames));
                interleaved.erase(interleaved.begin(), interleaved.begin() + std::ptrdiff_t(drop * channels));
                FDropFrames -= int64_t(drop);
                frames -= drop;
            }
            if (FPadFrames > 0) {
                // The silence goes first, in blocks; this frame follows it.
                const size_t pad = size_t(std::min<int64_t>(FPadFrames, 16384));
                FPending.assign(interleaved.begin(), interleaved.end());
                interleaved.assign(pad * channels, 0.0f);
                FPadFrames -= int64_t(pad);
                return pad;
            }
            if (frames > 0) return frames;
            continue;
        }
        if (received == AVERROR_EOF) break;
        if (received != AVERROR(EAGAIN)) ++failures;
        if (FInputEnded) {
            // A decoder that gives no end after the flush ends here.
            if (FFlushSent) break;
            avcodec_send_packet(FCodec.get(), nullptr);
            FFlushSent = true;
            continue;
        }
        // A read error (a film cut short) ends the sound there.
        if (av_read_frame(FInput, FPacket.get()) < 0) {
            FInputEnded = true;
            continue;
        }
        if (FPacket->stream_index == FStream->index && avcodec_send_packet(FCodec.get(), FPacket.get()) < 0)
            ++failures;
        av_packet_unref(FPacket.get());
    }
    // What the converter still holds (nothing when the rate is kept).
    FDone = true;
    if (FSwr) {
        const int capacity = swr_get_out_samples(FSwr.get(), 0);
        if (capacity > 0) {
            interleaved.resize(size_t(capacity) * FInfo.Channels.size());
            uint8_t* target = reinterpret_cast<uint8_t*>(interleaved.data());
            const int got = swr_convert(FSwr.get(), &target, capacity, nullptr, 0);
            interleaved.resize(got > 0 ? size_t(got) * FInfo.Channels.size() : 0);
            FSwr.reset();
            if (got > 0) return size_t(got);
        }
    }
    interleaved.clear();
    return 0;
}

} // namespace parlino
