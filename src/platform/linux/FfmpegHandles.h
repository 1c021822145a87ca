#pragma once
// FFmpeg's objects owned by unique_ptr, and its error codes as text.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <string>

namespace parlino::ffmpeg {

struct TFreeCodec {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct TFreeFrame {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct TFreePacket {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct TFreeSwr {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
using TCodec = std::unique_ptr<AVCodecContext, TFreeCodec>;
using TFrame = std::unique_ptr<AVFrame, TFreeFrame>;
using TPacket = std::unique_ptr<AVPacket, TFreePacket>;
using TSwr = std::unique_ptr<SwrContext, TFreeSwr>;

inline std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace parlino::ffmpeg
