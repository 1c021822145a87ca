#pragma once
// A film's sound decoded on a thread of its own, a few blocks ahead of the
// reader, so that decoding overlaps with the mixing and writing that use it.

#include "platform/IFilmAudio.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace parlino {

class TDecodeAhead final : public IFilmAudioDecoder {
public:
    // At most `maxQueued` blocks of at least `minFrames` frames wait.
    explicit TDecodeAhead(std::unique_ptr<IFilmAudioDecoder> decoder, size_t minFrames = 16384,
                          size_t maxQueued = 8);
    ~TDecodeAhead() override; // stops the decoding
    TDecodeAhead(const TDecodeAhead&) = delete;
    TDecodeAhead& operator=(const TDecodeAhead&) = delete;

    const TFilmAudioInfo& Info() const override { return FInfo; }
    // As the decoder's Read; rethrows what the decoder threw, where it threw it.
    size_t Read(std::vector<float>& interleaved) override;

private:
    void Run();

    std::unique_ptr<IFilmAudioDecoder> FDecoder;
    const TFilmAudioInfo FInfo;
    const size_t FMinFrames, FMaxQueued;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<std::vector<float>> FQueue;
    bool FEnded = false, FStop = false;
    std::exception_ptr FFailure;
    std::thread FThread;
};

} // namespace parlino
