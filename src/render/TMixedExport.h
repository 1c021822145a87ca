#pragma once
// parlino-render --mix: the film's sound with the voice-over mixed in,
// ducked around the voice's speech, written in the output's format at the
// film's own rate and channels, for the film's whole length.

#include "platform/IFilmAudio.h"
#include "render/TFilmMixer.h"
#include "render/TPartialFile.h"
#include "render/TRenderReport.h"
#include "render/TVoiceFeed.h"
#include "render/TVoiceResampler.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace parlino {

// The speech the film is lowered around: one stretch per entry that was
// heard, from its first played frame to its last, as --report gives them.
std::vector<TSpeechStretch> HeardSpeech(const std::vector<TEntryTiming>& timings);

class TMixedExport {
public:
    // Opens the film's sound and creates the output under its temporary name,
    // so that a film without sound or an output that cannot be written fails
    // before the long render. Throws as IFilmAudio and TPartialFile do.
    TMixedExport(const IFilmAudio& audio, const std::string& filmFile, const std::string& outputFile,
                 TSoundFileFormat format, double duckDb);
    ~TMixedExport(); // removes the output unless committed
    TMixedExport(const TMixedExport&) = delete;
    TMixedExport& operator=(const TMixedExport&) = delete;

    const TFilmAudioInfo& Info() const { return FInfo; }

    // Mixes the whole film with the voice (`voice`: mono samples at
    // `voiceRate` from track time 0) and returns the film's length in
    // frames. `progress` hears the film ms done and the film's length in ms
    // (-1 when unknown) after every block.
    uint64_t Mix(const TVoiceResampler::TSource& voice, int voiceRate, const std::vector<TEntryTiming>& timings,
                 const std::function<void(int64_t doneMs, int64_t totalMs)>& progress);

    // The same mix on a thread of its own, following the render through
    // `feed` (which must outlive this object): decoding and mixing overlap
    // with the render instead of coming after it. Wait returns the film's
    // length in frames once the feed has ended and the mix is done, calling
    // `progress` on the calling thread meanwhile; it rethrows the mix's
    // failure. ThrowIfFailed lets the render stop early when the mix failed.
    void StartBeside(TVoiceFeed& feed, int voiceRate);
    void ThrowIfFailed();
    uint64_t Wait(const std::function<void(int64_t doneMs, int64_t totalMs)>& progress);

    // Finishes the file and puts it in place; throws "Cannot write file".
    void Commit();

private:
    std::string FOutputFile;
    double FDuckDb;
    std::unique_ptr<IFilmAudioDecoder> FDecoder; // handed to the mix's decoding thread
    TFilmAudioInfo FInfo;
    TPartialFile FFile;
    int FHeldFd = -1; // a device or pipe stays open until the end
    std::unique_ptr<ISoundFileWriter> FWriter;

    // The mix itself, on whichever thread runs it: before each block,
    // `beforeBlock` may give the mixer speech that has become known.
    uint64_t Run(const TVoiceResampler::TSource& voice, int voiceRate, std::vector<TSpeechStretch> speech,
                 const std::function<void(TFilmMixer&, size_t frames)>& beforeBlock,
                 const std::function<void(uint64_t frames)>& afterBlock);
    int64_t FilmMs(uint64_t frames) const;
    // The mix beside the render.
    TVoiceFeed* FFeed = nullptr;
    std::thread FThread;
    std::mutex FMutex;
    std::condition_variable FDoneChanged;
    bool FDone = false;               // under FMutex
    std::exception_ptr FFailure;      // under FMutex
    uint64_t FFilmFrames = 0;         // under FMutex, once done
    std::atomic<uint64_t> FFramesDone{0};
};

} // namespace parlino
