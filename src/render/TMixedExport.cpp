#include "render/TMixedExport.h"

#include "platform/Exceptions.h"
#include "render/TBackgroundSampleWriter.h"
#include "render/TDecodeAhead.h"

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
    FWriter.reset();
    if (FHeldFd >= 0) ::close(FHeldFd);
}

uint64_t TMixedExport::Mix(const TVoiceResampler::TSource& voice, int voiceRate,
                           const std::vector<TEntryTiming>& timings,
                           const std::function<void(int64_t doneMs, int64_t totalMs)>& progress) {
    if (!FDecoder) throw EParlinoError("The film's sound has been mixed already.");
    const TFilmAudioInfo& info = FInfo;
    const size_t channels = info.Channels.size();
    // Decoding, the heavier half, runs beside the mixing and writing.
    TDecodeAhead decoder(std::move(FDecoder));
    TVoiceResampler resampler(voiceRate, info.SampleRate, voice);
    TFilmMixer mixer(info.SampleRate, VoiceWeights(info.Channels), HeardSpeech(timings), FDuckDb);
    // Encoding and writing run on a thread of their own too.
    TBackgroundSampleWriter writer([this, channels](const int16_t* samples, size_t count) {
        FWriter->Write(samples, count / channels);
    });
    std::vector<float> film, speech;
    uint64_t frames = 0;
    while (const size_t count = decoder.Read(film)) {
        speech.resize(count);
        resampler.Pull(speech.data(), count);
        std::vector<int16_t> mixed(count * channels);
        mixer.Mix(film.data(), speech.data(), count, mixed.data());
        writer.Push(std::move(mixed));
        if (writer.Failed()) break; // Finish says why
        frames += count;
        if (progress) progress(int64_t(frames * 1000 / uint64_t(info.SampleRate)), info.DurationMs);
    }
    writer.Finish();
    return frames;
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
