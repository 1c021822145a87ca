#include "render/TDecodeAhead.h"

namespace parlino {

TDecodeAhead::TDecodeAhead(std::unique_ptr<IFilmAudioDecoder> decoder, size_t minFrames, size_t maxQueued)
    : FDecoder(std::move(decoder)), FInfo(FDecoder->Info()), FMinFrames(minFrames), FMaxQueued(maxQueued),
      FThread([this] { Run(); }) {}

TDecodeAhead::~TDecodeAhead() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FChanged.notify_all();
    FThread.join();
}

void TDecodeAhead::Run() {
    const size_t channels = FInfo.Channels.size();
    std::vector<float> block, piece;
    try {
        for (;;) {
            // Blocks of a decoder's own size (often 1,024 frames) go together,
            // so that handing them over costs little.
            block.clear();
            size_t frames = 0;
            while (frames < FMinFrames) {
                const size_t got = FDecoder->Read(piece);
                if (got == 0) break;
                block.insert(block.end(), piece.begin(), piece.begin() + std::ptrdiff_t(got * channels));
                frames += got;
            }
            std::unique_lock lock(FMutex);
            FChanged.wait(lock, [this] { return FQueue.size() < FMaxQueued || FStop; });
            if (FStop) return;
            if (frames > 0) FQueue.push_back(std::move(block));
            if (frames < FMinFrames) {
                FEnded = true;
                FChanged.notify_all();
                return;
            }
            FChanged.notify_all();
        }
    } catch (...) {
        std::lock_guard lock(FMutex);
        FFailure = std::current_exception();
        FEnded = true;
        FChanged.notify_all();
    }
}

size_t TDecodeAhead::Read(std::vector<float>& interleaved) {
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return !FQueue.empty() || FEnded; });
    if (FQueue.empty()) {
        interleaved.clear();
        if (FFailure) std::rethrow_exception(FFailure);
        return 0;
    }
    interleaved = std::move(FQueue.front());
    FQueue.pop_front();
    FChanged.notify_all();
    return interleaved.size() / FInfo.Channels.size();
}

} // namespace parlino
