#include "platform/linux/TFfmpegFilmReader.h"

#include "platform/Exceptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <algorithm>
#include <cstdio>
#include <memory>

namespace parlino {
namespace {

struct TCloseInput {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using TInput = std::unique_ptr<AVFormatContext, TCloseInput>;

struct TFreePacket {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

TInput Open(const std::string& path) {
    // What goes wrong is said in our own messages; FFmpeg's would land on the terminal.
    static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
    AVFormatContext* context = nullptr;
    const int opened = avformat_open_input(&context, path.c_str(), nullptr, nullptr);
    if (opened < 0) throw EFOpenError("Cannot open file \"" + path + "\". " + ErrorText(opened));
    TInput input(context);
    if (avformat_find_stream_info(context, nullptr) < 0)
        throw EFOpenError("Cannot open file \"" + path + "\". It is not a film FFmpeg can read.");
    return input;
}

bool IsTextSubtitle(const AVStream* stream) {
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) return false;
    const AVCodecDescriptor* d = avcodec_descriptor_get(stream->codecpar->codec_id);
    return d && (d->props & AV_CODEC_PROP_TEXT_SUB);
}

std::string Tag(const AVStream* stream, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(stream->metadata, key, nullptr, 0);
    return entry && entry->value ? entry->value : "";
}

// Times as the layouts write them.
std::string SrtTime(int64_t ms, char fraction) {
    if (ms < 0) ms = 0;
    char text[40];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld%c%03lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60), fraction,
                  static_cast<long long>(ms % 1000));
    return text;
}

std::string AssTime(int64_t ms) {
    if (ms < 0) ms = 0;
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%02lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000 / 10));
    return text;
}

// A cue's text without the empty lines that would end its block early.
std::string WithoutEmptyLines(std::string_view text) {
    std::string out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") != std::string_view::npos) {
            out.append(line);
            out.push_back('\n');
        }
        start = end + 1;
    }
    return out;
}

// The text of one packet in the layout of its track.
class TTrackWriter {
public:
    explicit TTrackWriter(const AVStream* stream) : FCodec(stream->codecpar->codec_id) {
        if (FCodec == AV_CODEC_ID_ASS || FCodec == AV_CODEC_ID_SSA) {
            FResult.Layout = TFilmTextLayout::Ass;
            const auto* header = reinterpret_cast<const char*>(stream->codecpar->extradata);
            std::string script(header ? header : "", header ? size_t(stream->codecpar->extradata_size) : 0);
            if (script.find("[Events]") == std::string::npos)
                script += "\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
            FResult.Utf8 = script + "\n";
        } else if (FCodec == AV_CODEC_ID_WEBVTT) {
            FResult.Layout = TFilmTextLayout::WebVtt;
            FResult.Utf8 = "WEBVTT\n\n";
        }
    }

    void Add(std::string_view data, int64_t startMs, int64_t endMs) {
        if (FCodec == AV_CODEC_ID_MOV_TEXT) {
            // A 16-bit big-endian length, the text, then style boxes.
            if (data.size() < 2) return;
            const size_t length = (size_t(uint8_t(data[0])) << 8) | uint8_t(data[1]);
            data = data.substr(2, length);
        }
        while (!data.empty() && data.back() == '\0') data.remove_suffix(1);
        // Some muxers fill the gaps between subtitles with empty ones.
        const std::string text = WithoutEmptyLines(data);
        if (text.empty()) return;
        std::string& out = FResult.Utf8;
        switch (FResult.Layout) {
        case TFilmTextLayout::Ass: {
            // "ReadOrder,Layer,Style,...": the times go after the layer.
            const size_t order = data.find(',');
            if (order == std::string_view::npos) return;
            std::string_view rest = data.substr(order + 1);
            const size_t layer = rest.find(',');
            if (layer == std::string_view::npos) return;
            out += "Dialogue: ";
            out.append(rest.substr(0, layer));
            out += "," + AssTime(startMs) + "," + AssTime(endMs);
            out.append(rest.substr(layer));
            out += "\n";
            return;
        }
        case TFilmTextLayout::WebVtt:
            out += SrtTime(startMs, '.') + " --> " + SrtTime(endMs, '.') + "\n" + text + "\n";
            return;
        case TFilmTextLayout::SubRip:
            out += std::to_string(++FNumber) + "\n" + SrtTime(startMs, ',') + " --> " + SrtTime(endMs, ',') + "\n" +
                   text + "\n";
            return;
        }
    }

    TFilmTrackText Take() { return std::move(FResult); }

private:
    AVCodecID FCodec;
    TFilmTrackText FResult;
    int FNumber = 0;
};

} // namespace

TFilmTracks TFfmpegFilmReader::Tracks(const std::string& path) const {
    const TInput input = Open(path);
    TFilmTracks tracks;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) continue;
        const char* codec = avcodec_get_name(stream->codecpar->codec_id);
        if (IsTextSubtitle(stream))
            tracks.Text.push_back({int(i), codec ? codec : "", Tag(stream, "language"), Tag(stream, "title")});
        else
            tracks.Pictures.push_back(codec ? codec : "");
    }
    return tracks;
}

TFilmTrackText TFfmpegFilmReader::ReadTextTrack(const std::string& path, int number) const {
    const TInput input = Open(path);
    AVStream* chosen = nullptr;
    int seen = 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream* stream = input->streams[i];
        if (IsTextSubtitle(stream) && ++seen == number) chosen = stream;
        else stream->discard = AVDISCARD_ALL;
    }
    if (!chosen) throw EParlinoError("\"" + path + "\" has no text subtitle track " + std::to_string(number) + ".");
    TTrackWriter writer(chosen);
    const std::unique_ptr<AVPacket, TFreePacket> packet(av_packet_alloc());
    if (!packet) throw EParlinoError("Out of memory while reading \"" + path + "\".");
    const AVRational ms{1, 1000};
    // A read error (a film cut short) ends the track there.
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == chosen->index && packet->data) {
            const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (pts != AV_NOPTS_VALUE) {
                const int64_t start = av_rescale_q(pts, chosen->time_base, ms);
                const int64_t end = start + std::max<int64_t>(0, av_rescale_q(packet->duration, chosen->time_base, ms));
                writer.Add(std::string_view(reinterpret_cast<const char*>(packet->data), size_t(packet->size)), start,
                           end);
            }
        }
        av_packet_unref(packet.get());
    }
    return writer.Take();
}

} // namespace parlino
