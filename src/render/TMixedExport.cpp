#include "render/TMixedExport.h"

#include "platform/Exceptions.h"
#include "render/TBackgroundSampleWriter.h"
#include "render/TDecodeAhead.h"

#include <chrono>
#include <cstring>
#include <unistd.h>

namespace parlino {

std::vector<TSpeechStretch> HeardSpeech(const std::vector<TEntryTiming>& timings) {
    std::vector<TSpeechStretch> speech;
    for (const TEntryTiming& t : timings)
        if (t.Heard) speech.push_back({t.OnsetMs, t.EndMs});
    return speech;
}

TMixedExport::TMixedExport(const IFilmAudio& audio, const std::string& filmFile, const std::string& outputFile,
                           TSoundFileFormat format, double duckDb)
    : FOutputFile(outputFile), FDuckDb(duckDb), FDecoder(audio.OpenSound(filmFile)), FInfo(FDecoder->Info()),
      FFile(outputFile) {
    const TFilmAudioInfo& info = FInfo;
    if (info.SampleRate <= 0 || info.Channels.empty())
        throw EParlinoError("The sound of \"" + filmFile + "\" has no sample rate or no channels.");
    const int fd = FFile.Create();
    // A regular file is written again by its name; a pipe must stay open
    // meanwhile, or its reader would see its end.
    if (FFile.InPlace())
        FHeldFd = fd;
    else
        ::close(fd);
    try {
        FWriter = audio.CreateSoundFile(FFile.WritePath(), outputFile,
                                        TSoundFileParams{format, info.SampleRate, info.Channels, info.Layout});
    } catch (...) {
        if (FHeldFd >= 0) ::close(FHeldFd);
        throw;
    }
}

TMixedExport::~TMixedExport() {
    if (FThread.joinable()) {
        FFeed->Abort();
        FThread.join();
    }
    FWriter.reset();
    if (FHeldFd >= 0) ::close(FHeldFd);
}

uint64_t TMixedExport::Run(const TVoiceResampler::TSource& voice, int voiceRate, std::vector<TSpeechStretch> speech,
                           const std::function<void(TFilmMixer&, size_t frames)>& beforeBlock,
                           const std::function<void(uint64_t frames)>& afterBlock) {
    if (!FDecoder) throw EParlinoError("The film's sound has been mixed already.");
    const TFilmAudioInfo& info = FInfo;
    const size_t channels = info.Channels.size();
    // Decoding, the heavier half, runs beside the mixing and writing.
    TDecodeAhead decoder(std::move(FDecoder));
    TVoiceResampler resampler(voiceRate, info.SampleRate, voice);
    TFilmMixer mixer(info.SampleRate, VoiceWeights(info.Channels), std::move(speech), FDuckDb);
    // Encoding and writing run on a thread of their own too.
    TBackgroundSampleWriter writer([this, channels](const int16_t* samples, size_t count) {
        FWriter->Write(samples, count / channels);
    });
    std::vector<float> film, spoken;
    uint64_t frames = 0;
    while (const size_t count = decoder.Read(film)) {
        if (beforeBlock) beforeBlock(mixer, count);
        spoken.resize(count);
        resampler.Pull(spoken.data(), count);
        std::vector<int16_t> mixed(count * channels);
        mixer.Mix(film.data(), spoken.data(), count, mixed.data());
        writer.Push(std::move(mixed));
        if (writer.Failed()) break; // Finish says why
        frames += count;
        if (afterBlock) afterBlock(frames);
    }
    writer.Finish();
    return frames;
}

uint64_t TMixedExport::Mix(const TVoiceResampler::TSource& voice, int voiceRate,
                           const std::vector<TEntryTiming>& timings,
                           const std::function<void(int64_t doneMs, int64_t totalMs)>& progress) {
    return Run(voice, voiceRate, HeardSpeech(timings), nullptr, [&](uint64_t frames) {
        if (progress) progress(FilmMs(frames), FInfo.DurationMs);
    });
}

void TMixedExport::StartBeside(TVoiceFeed& feed, int voiceRate) {
    if (!FDecoder || FThread.joinable()) throw EParlinoError("The film's sound has been mixed already.");
    FFeed = &feed;
    FThread = std::thread([this, voiceRate] {
        uint64_t frames = 0;
        std::exception_ptr failure;
        try {
            std::vector<TSpeechStretch> known;
            frames = Run([this](int16_t* samples, size_t count) { return FFeed->Read(samples, count); }, voiceRate, {},
                         [&](TFilmMixer& mixer, size_t count) {
                             known.clear();
                             FFeed->TakeSpeechBefore(mixer.SpeechNeededBefore(count), known);
                             for (const TSpeechStretch& stretch : known) mixer.AddSpeech(stretch);
                         },
                         [this](uint64_t done) { FFramesDone.store(done, std::memory_order_relaxed); });
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(FMutex);
        FFailure = failure;
        FFilmFrames = frames;
        FDone = true;
        FDoneChanged.notify_all();
    });
}

int64_t TMixedExport::FilmMs(uint64_t frames) const {
    return int64_t(frames * 1000 / uint64_t(FInfo.SampleRate));
}

void TMixedExport::ThrowIfFailed() {
    std::lock_guard lock(FMutex);
    if (FFailure) std::rethrow_exception(FFailure);
}

uint64_t TMixedExport::Wait(const std::function<void(int64_t doneMs, int64_t totalMs)>& progress) {
    if (!FThread.joinable()) throw EParlinoError("The mix was not started.");
    std::unique_lock lock(FMutex);
    while (!FDoneChanged.wait_for(lock, std::chrono::milliseconds(200), [this] { return FDone; })) {
        // The terminal is written without holding up the mix's last report.
        lock.unlock();
        if (progress) progress(FilmMs(FFramesDone.load(std::memory_order_relaxed)), FInfo.DurationMs);
        lock.lock();
    }
    lock.unlock();
    FThread.join();
    if (FFailure) std::rethrow_exception(FFailure);
    return FFilmFrames;
}

void TMixedExport::Commit() {
    FWriter->Finish();
    FWriter.reset();
    if (FHeldFd >= 0) {
        ::close(FHeldFd);
        FHeldFd = -1;
    }
    if (const int error = FFile.Commit())
        throw EParlinoError("Cannot write file \"" + FOutputFile + "\". " + std::strerror(error));
}

} // namespace parlino
