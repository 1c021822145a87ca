#include "render/TMixedExport.h"

#include "platform/Exceptions.h"
#include "render/TFilmMixer.h"

#include <cstring>
#include <unistd.h>

namespace parlino {

TDuckEnvelope SpeechEnvelope(const std::vector<TEntryTiming>& timings) {
    TDuckEnvelope envelope;
    for (const TEntryTiming& t : timings)
        if (t.Heard) envelope.AddSpeech(t.OnsetMs, t.EndMs);
    return envelope;
}

TMixedExport::TMixedExport(const IFilmAudio& audio, const std::string& filmFile, const std::string& outputFile,
                           TSoundFileFormat format, double duckDb)
    : FOutputFile(outputFile), FDuckDb(duckDb), FDecoder(audio.OpenSound(filmFile)), FFile(outputFile) {
    const TFilmAudioInfo& info = FDecoder->Info();
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
                                        TSoundFileSpec{format, info.SampleRate, info.Channels, info.Layout});
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
    const TFilmAudioInfo& info = FDecoder->Info();
    const size_t channels = info.Channels.size();
    TVoiceResampler resampler(voiceRate, info.SampleRate, voice);
    TFilmMixer mixer(info.SampleRate, VoiceWeights(info.Channels), SpeechEnvelope(timings), FDuckDb);
    std::vector<float> film, speech;
    std::vector<int16_t> mixed;
    uint64_t frames = 0;
    while (const size_t count = FDecoder->Read(film)) {
        speech.resize(count);
        resampler.Pull(speech.data(), count);
        mixed.resize(count * channels);
        mixer.Mix(film.data(), speech.data(), count, mixed.data());
        FWriter->Write(mixed.data(), count);
        frames += count;
        if (progress) progress(int64_t(frames * 1000 / uint64_t(info.SampleRate)), info.DurationMs);
    }
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
