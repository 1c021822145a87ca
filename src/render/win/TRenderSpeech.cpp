// The speaking commands of parlino-render on Windows: the voices are the
// system's SAPI 5 and SAPI 4 ones (src/platform/win/TSapi5Voice,
// TSapi4Classes). --voices lists both kinds. A render speaks through the
// SAPI 5 voices only: each speech is synthesised into memory and played
// through the render's timeline (TSapi5Voice on an audio layer); the SAPI 4
// engines play on the sound card themselves, so a render with one of their
// voices says so.

#include "render/TRenderSpeech.h"

#include "platform/Exceptions.h"
#include "platform/win/TSapi4Classes.h"
#include "platform/win/TSapi5Voice.h"
#include "platform/win/TWinFileReplace.h"
#include "render/TBackgroundSampleWriter.h"
#include "render/TRenderPoster.h"
#include "render/TRenderReport.h"
#include "render/TTimelineAudioOutput.h"
#include "render/TVoiceOverRenderer.h"
#include "settings/AtomicFile.h"
#include "speech/UbSmartSpeech.h"
#include "speech/UbSpeech.h"
#include "subtitles/FormatTime.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>

namespace parlino {
namespace {

constexpr const char* NoVoicesMessage = "no voices are installed: the system's SAPI 5 and SAPI 4 "
                                        "offer none (the speech facade lists no voice)";

// The facade over the system's voices. Declared after the poster and the
// legacy classes, so it goes first.
struct TWinRenderVoices {
    explicit TWinRenderVoices(const TRenderEnvironment& env)
        : Classes(Poster), Speech(Backends(), env.Codec, Poster) {}

    TUbSmartSpeechBackends Backends() {
        TUbSmartSpeechBackends b;
        b.Sapi5Installed = [] { return Sapi5ClassRegistered(); };
        b.CreateVoice = [this]() -> std::unique_ptr<ISpeechVoice> {
            return std::make_unique<TSapi5Voice>(Poster);
        };
        b.CreateFileStream = []() -> std::unique_ptr<ISpeechFileStream> {
            return std::make_unique<TSapi5FileStream>();
        };
        if (Sapi4ClassRegistered()) {
            Legacy.emplace(Classes);
            b.Sapi4Installed = [] { return true; };
            b.Sapi4Speech = &*Legacy;
        }
        return b;
    }

    TRenderPoster Poster;
    TSapi4Classes Classes;
    std::optional<TUbSpeech> Legacy;
    TUbSmartSpeech Speech;
};

void CheckVoices(const TUbSmartSpeech& speech) {
    if (speech.Voices().empty())
        throw EParlinoError(NoVoicesMessage);
}

// The track's sample rate (SAPI converts its voices' formats to it).
constexpr int TrackRate = 22050;
constexpr size_t WriteBufferSamples = size_t(1) << 18;

// The SAPI 5 voices speaking into a render's timeline.
struct TWinTrackVoices {
    TWinTrackVoices(const TRenderEnvironment& env, TTimelineAudioOutput::TSink sink)
        : Timeline(TrackRate, 0, std::move(sink)), Speech(Backends(), env.Codec, Poster) {}
    TUbSmartSpeechBackends Backends() {
        TUbSmartSpeechBackends b;
        b.Sapi5Installed = [] { return Sapi5ClassRegistered(); };
        b.CreateVoice = [this]() -> std::unique_ptr<ISpeechVoice> {
            return std::make_unique<TSapi5Voice>(Poster, &Timeline, TrackRate);
        };
        return b;
    }
    TRenderPoster Poster;
    TTimelineAudioOutput Timeline;
    TUbSmartSpeech Speech;
};

// A 16-bit mono WAV file written under "NAME.partial" and put in place of
// NAME once complete; removed unless committed.
class TWinTrackFile {
public:
    explicit TWinTrackFile(std::string fileName)
        : FName(std::move(fileName)), FTemp(FName + ".partial") {}
    ~TWinTrackFile() {
        if (FFile) {
            std::fclose(FFile);
            std::remove(FTemp.c_str());
        }
    }
    void Open(int sampleRate) {
        FRate = sampleRate;
        FFile = std::fopen(FTemp.c_str(), "wb");
        if (!FFile)
            throw EFOpenError("Cannot open file \"" + FName + "\". " + std::strerror(errno));
        WriteHeader();
    }
    void Write(const int16_t* samples, size_t count) {
        if (count && std::fwrite(samples, sizeof *samples, count, FFile) != count)
            Fail(errno);
        FBytes += count * sizeof *samples;
    }
    void Commit() {
        if (std::fseek(FFile, 0, SEEK_SET) != 0)
            Fail(errno);
        WriteHeader();
        const bool closed = std::fclose(FFile) == 0;
        FFile = nullptr;
        std::string error;
        if (!closed)
            error = std::strerror(errno);
        else
            ReplaceFileWith(FTemp, FName, error);
        if (!error.empty()) {
            std::remove(FTemp.c_str());
            throw EParlinoError("Cannot write file \"" + FName + "\". " + error);
        }
    }

private:
    [[noreturn]] void Fail(int error) const {
        throw EParlinoError("Cannot write file \"" + FName + "\". " + std::strerror(error));
    }
    void WriteHeader() {
        auto u32 = [](uint8_t* p, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                p[i] = static_cast<uint8_t>(v >> (8 * i));
        };
        uint8_t h[44] = {'R', 'I', 'F', 'F', 0,  0, 0, 0, 'W', 'A', 'V', 'E',
                         'f', 'm', 't', ' ', 16, 0, 0, 0, 1,   0,   1,   0};
        const uint32_t data =
            FBytes > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFu - 36 : static_cast<uint32_t>(FBytes);
        u32(h + 4, 36 + data);
        u32(h + 24, static_cast<uint32_t>(FRate));
        u32(h + 28, static_cast<uint32_t>(FRate) * 2);
        h[32] = 2, h[34] = 16;
        std::memcpy(h + 36, "data", 4);
        u32(h + 40, data);
        if (std::fwrite(h, 1, sizeof h, FFile) != sizeof h)
            Fail(errno);
    }
    std::string FName, FTemp;
    std::FILE* FFile = nullptr;
    int FRate = TrackRate;
    uint64_t FBytes = 0;
};

} // namespace

void ListRenderVoices(const TRenderEnvironment& env, std::ostream& out) {
    TWinRenderVoices voices(env);
    CheckVoices(voices.Speech);
    WriteVoiceTable(voices.Speech, env.Codec, out);
}

void RenderTrack(const TRenderOptions& options, const TRenderEnvironment& env, std::ostream& out) {
    CheckReportFolder(options.ReportFile);
    TWinTrackFile track(options.OutputFile);
    TBackgroundSampleWriter writer(
        [&track](const int16_t* samples, size_t count) { track.Write(samples, count); });
    std::vector<int16_t> buffer;
    buffer.reserve(WriteBufferSamples);
    auto flush = [&] {
        if (buffer.empty())
            return;
        writer.Push(std::move(buffer));
        buffer = std::vector<int16_t>();
        buffer.reserve(WriteBufferSamples);
    };
    TWinTrackVoices voices(env, [&](const int16_t* samples, size_t count) {
        if (buffer.size() + count > WriteBufferSamples)
            flush();
        buffer.insert(buffer.end(), samples, samples + count);
    });
    TUbSmartSpeech& speech = voices.Speech;
    if (speech.Voices().empty()) {
        // The legacy voices are listed, but cannot speak into a track.
        TWinRenderVoices all(env);
        CheckVoices(all.Speech);
        throw EParlinoError(
            "the system's SAPI 4 voices cannot render a track (they play on the sound card); "
            "rendering needs a SAPI 5 voice");
    }
    ApplyVoiceOptions(speech, env.Codec, options);

    TslItems items;
    LoadRenderSubtitles(options, env, items);
    track.Open(voices.Timeline.SampleRate());

    TRenderSettings settings;
    settings.QueueFastSubtitles = !options.Interrupt;
    settings.TimeShiftMs = options.ShiftMs;
    settings.GridCharset = options.Charset;
    settings.OnTick = env.OnTick;
    settings.FitSpeech = options.FitCeilingPercent.has_value();
    settings.FitCeilingPercent = options.FitCeilingPercent.value_or(DefaultFitPercent);
    settings.MeasureCutSpeech = !options.ReportFile.empty();
    TVoiceOverRenderer renderer(speech, voices.Timeline, voices.Poster, items, settings);
    const TRenderResult result = renderer.Render();
    flush();
    writer.Finish();
    track.Commit();

    const uint64_t frames = voices.Timeline.FramesOut();
    const int64_t lengthMs =
        static_cast<int64_t>(frames * 1000 / static_cast<uint64_t>(voices.Timeline.SampleRate()));
    if (!options.ReportFile.empty())
        WriteFileAtomically(options.ReportFile, FormatRenderReport(result.Timings));
    if (!result.VoiceIdle)
        throw EParlinoError("the voice never reported the end of its speech; " +
                            options.OutputFile + " holds the track up to " +
                            FormatTime(static_cast<int32_t>(lengthMs)));
    out << options.OutputFile << ": " << result.Found - 1 << " of " << items.size() - 1
        << " subtitles found, " << FormatTime(static_cast<int32_t>(lengthMs)) << " of track at "
        << voices.Timeline.SampleRate() << " Hz\n";
}

} // namespace parlino
