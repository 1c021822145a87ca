#include "render/TRenderSpeech.h"

#include "render/TBackgroundSampleWriter.h"

#include "platform/Exceptions.h"
#include "platform/linux/TEspeakVoice.h"
#include "platform/linux/TFliteSpeech.h"
#include "platform/linux/TWavFileStream.h"
#include "render/TMixedExport.h"
#include "render/TRenderPoster.h"
#include "render/TRenderReport.h"
#include "render/TTerminalProgress.h"
#include "render/TTimelineAudioOutput.h"
#include "render/TTrackFile.h"
#include "render/TVoiceOverRenderer.h"
#include "render/TVoiceFeed.h"
#include "settings/AtomicFile.h"
#include "speech/UbSmartSpeech.h"
#include "speech/UbSpeech.h"
#include "subtitles/FormatTime.h"
#include "subtitles/SubtitleReaders.h"
#include "text/LoadTextFile.h"
#include "text/ProcessSubtitles.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>

namespace parlino {
namespace {

constexpr size_t WriteBufferSamples = size_t(1) << 18;

// The facade over the engine's voices, speaking into `timeline` and posting
// through `poster`. Declared after both, so it goes first.
struct TRenderVoices {
    TRenderVoices(const TRenderEnvironment& env, int64_t startMs, TTimelineAudioOutput::TSink sink)
        : Engine(env.Engine ? env.Engine : TEspeakEngine::Shared()),
          Timeline(Engine->SampleRate(), startMs, std::move(sink)),
          FliteClasses(Timeline, Poster, TFliteEngine::Shared(), Timeline.SampleRate(), &env.Codec),
          Legacy(FliteClasses),
          Speech(Backends(), env.Codec, Poster) {}

    TUbSmartSpeechBackends Backends() {
        TUbSmartSpeechBackends b;
        b.Sapi5Installed = [engine = Engine] { return engine->Initialised(); };
        b.CreateVoice = [this]() -> std::unique_ptr<ISpeechVoice> {
            return std::make_unique<TEspeakSpeechVoice>(Timeline, Poster, Engine);
        };
        b.Sapi4Installed = [this] { return FliteClasses.Installed(); };
        b.Sapi4Speech = &Legacy;
        return b;
    }

    std::shared_ptr<TEspeakEngine> Engine;
    TRenderPoster Poster;
    TTimelineAudioOutput Timeline;
    TFliteTTSClasses FliteClasses; // the legacy voices, resampled to the track's rate
    TUbSpeech Legacy;
    TUbSmartSpeech Speech;
};

void SelectVoice(TUbSmartSpeech& speech, const ITextCodec& codec, const TRenderOptions& options) {
    if (speech.Voices().empty())
        throw EParlinoError("no voices are installed (espeak-ng did not start)");
    ApplyVoiceOptions(speech, codec, options);
}


} // namespace

void RenderTrack(const TRenderOptions& options, const TRenderEnvironment& env, std::ostream& out) {
    CheckReportFolder(options.ReportFile);
    // With --mix the film's sound is opened and the output made first, so
    // that a film without sound fails before the long render; the mix then
    // runs beside the render, a little behind it, reading the voice and its
    // speech through the feed. Otherwise the voice's own track is the
    // output. Either removes what it wrote unless committed.
    std::optional<TVoiceFeed> feed;
    std::optional<TMixedExport> mix;
    std::optional<TTrackFile> track;
    if (!options.MixFilm.empty()) {
        if (!env.FilmAudio)
            throw EParlinoError("Mixing with a film's sound is not available in this build: " + options.MixFilm);
        feed.emplace();
        mix.emplace(*env.FilmAudio, options.MixFilm, options.OutputFile, options.MixFormat, options.DuckDb);
    } else {
        track.emplace(options.OutputFile);
    }
    // The track goes to the file in large writes, on a thread of their own;
    // the first write that fails ends the writing, and Finish reports it.
    TBackgroundSampleWriter writer([&](const int16_t* samples, size_t count) {
        if (feed) feed->Write(samples, count);
        else track->Write(samples, count);
    });
    std::vector<int16_t> buffer;
    buffer.reserve(WriteBufferSamples);
    auto flush = [&] {
        if (buffer.empty()) return;
        writer.Push(std::move(buffer));
        buffer = std::vector<int16_t>();
        buffer.reserve(WriteBufferSamples);
    };
    TRenderVoices voices(env, 0, [&](const int16_t* samples, size_t count) {
        if (buffer.size() + count > WriteBufferSamples)
            flush();
        buffer.insert(buffer.end(), samples, samples + count);
    });
    SelectVoice(voices.Speech, env.Codec, options);

    TslItems items;
    LoadRenderSubtitles(options, env, items);

    if (track)
        track->Open(voices.Timeline.SampleRate());
    else
        mix->StartBeside(*feed, voices.Timeline.SampleRate());

    TTerminalProgress progress(env.Progress);
    int64_t lastStartMs = 0;
    for (const TslItem& item : items)
        lastStartMs = std::max<int64_t>(lastStartMs, int64_t{item.StartMs} - options.ShiftMs);
    TRenderSettings settings;
    settings.QueueFastSubtitles = !options.Interrupt;
    settings.TimeShiftMs = options.ShiftMs;
    settings.GridCharset = options.Charset;
    // The speech heard since the last tick, for the mix.
    std::vector<TSpeechStretch> heard;
    settings.OnTick = [&](int64_t trackMs, std::chrono::nanoseconds cost) {
        if (env.OnTick)
            env.OnTick(trackMs, cost);
        progress.Show("Speaking", trackMs, std::max<int64_t>(1, lastStartMs));
        if (!feed) return;
        const TTimelineAudioOutput& timeline = voices.Timeline;
        feed->Settle(timeline.FramesOut(), timeline.ClockFrame(), timeline.MsAt(timeline.FirstUnreportedFrame()),
                     std::move(heard));
        heard.clear();
        mix->ThrowIfFailed(); // a mix that cannot go on ends the render
    };
    if (feed)
        settings.OnEntryOver = [&](const TEntryTiming& t) {
            if (t.Heard) heard.push_back({t.OnsetMs, t.EndMs});
        };
    // A report alone leaves the track as it is without one: what it
    // needs to know is measured after the render.
    settings.FitSpeech = options.FitCeilingPercent.has_value();
    settings.FitCeilingPercent = options.FitCeilingPercent.value_or(DefaultFitPercent);
    settings.MeasureCutSpeech = !options.ReportFile.empty();
    TVoiceOverRenderer renderer(voices.Speech, voices.Timeline, voices.Poster, items, settings);
    const TRenderResult result = renderer.Render();
    flush();
    writer.Finish();

    const uint64_t frames = voices.Timeline.FramesOut();
    const int rate = voices.Timeline.SampleRate();
    const int64_t lengthMs = voices.Timeline.MsAt(frames);
    uint64_t filmFrames = 0;
    if (track) {
        // Only a track of which every byte reached the disk goes in place.
        track->Commit();
    } else {
        feed->End(std::move(heard));
        filmFrames = mix->Wait([&](int64_t doneMs, int64_t totalMs) { progress.Show("Mixing", doneMs, totalMs); });
        mix->Commit();
    }
    progress.Clear();

    if (!options.ReportFile.empty())
        WriteFileAtomically(options.ReportFile, FormatRenderReport(result.Timings));
    if (!result.VoiceIdle)
        throw EParlinoError("the voice never reported the end of its speech; " +
                            options.OutputFile + " holds the track up to " +
                            FormatTime(static_cast<int32_t>(lengthMs)));
    out << options.OutputFile << ": " << result.Found - 1 << " of " << items.size() - 1 << " subtitles found, ";
    if (track) {
        out << FormatTime(static_cast<int32_t>(lengthMs)) << " of track at " << rate << " Hz\n";
        return;
    }
    const TFilmAudioInfo& film = mix->Info();
    const int64_t filmMs = static_cast<int64_t>(filmFrames * 1000 / static_cast<uint64_t>(film.SampleRate));
    out << FormatTime(static_cast<int32_t>(std::min<int64_t>(filmMs, INT32_MAX))) << " of the film's sound at "
        << film.SampleRate << " Hz, " << film.Channels.size() << (film.Channels.size() == 1 ? " channel" : " channels")
        << ", with the voice mixed in";
    if (options.DuckDb > 0)
        out << " and the film " << options.DuckDb << " dB lower under it";
    out << "\n";
    if (lengthMs > filmMs)
        out << "The voice goes on " << FormatTime(static_cast<int32_t>(std::min<int64_t>(lengthMs - filmMs, INT32_MAX)))
            << " past the film's end; that part is not in " << options.OutputFile << ".\n";
}

void ListRenderVoices(const TRenderEnvironment& env, std::ostream& out) {
    TRenderVoices voices(env, 0, nullptr);
    WriteVoiceTable(voices.Speech, env.Codec, out);
}

} // namespace parlino
