#include "render/TVoiceFeed.h"

#include "platform/Exceptions.h"

#include <algorithm>

namespace parlino {

void TVoiceFeed::Write(const int16_t* samples, size_t count) {
    FSpool.Write(samples, count);
    {
        std::lock_guard lock(FMutex);
        FWritten += count;
    }
    FChanged.notify_all();
}

void TVoiceFeed::Settle(uint64_t framesOut, uint64_t clockFrame, int64_t speechSettledMs,
                        std::vector<TSpeechStretch> heard) {
    {
        std::lock_guard lock(FMutex);
        FFramesOut = std::max(FFramesOut, framesOut);
        FFinal = std::max(FFinal, clockFrame);
        FSettledMs = std::max(FSettledMs, speechSettledMs);
        FHeard.insert(FHeard.end(), heard.begin(), heard.end());
    }
    FChanged.notify_all();
}

void TVoiceFeed::End(std::vector<TSpeechStretch> heard) {
    {
        std::lock_guard lock(FMutex);
        FHeard.insert(FHeard.end(), heard.begin(), heard.end());
        FEnded = true;
    }
    FChanged.notify_all();
}

void TVoiceFeed::Abort() {
    {
        std::lock_guard lock(FMutex);
        FAborted = true;
    }
    FChanged.notify_all();
}

void TVoiceFeed::ThrowIfAborted() const {
    if (FAborted) throw EParlinoError("The render stopped before the voice-over was complete.");
}

size_t TVoiceFeed::Read(int16_t* samples, size_t count) {
    std::unique_lock lock(FMutex);
    // Written samples are final; so is the silence between the render's
    // frames out and its clock, which the render writes only once more
    // speech follows it. At the end, the track stops after what was written.
    FChanged.wait(lock, [&] {
        return FAborted || FEnded || FReadAt < FWritten || (FReadAt >= FFramesOut && FReadAt < FFinal);
    });
    ThrowIfAborted();
    if (FReadAt < FWritten) {
        const size_t take = size_t(std::min<uint64_t>(count, FWritten - FReadAt));
        const uint64_t at = FReadAt;
        lock.unlock();
        const size_t got = FSpool.ReadAt(at, samples, take);
        FReadAt += got;
        return got;
    }
    if (FEnded) return 0;
    const size_t take = size_t(std::min<uint64_t>(count, FFinal - FReadAt));
    std::fill_n(samples, take, int16_t{0});
    FReadAt += take;
    return take;
}

void TVoiceFeed::TakeSpeechBefore(int64_t ms, std::vector<TSpeechStretch>& into) {
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [&] { return FAborted || FEnded || FSettledMs >= ms; });
    ThrowIfAborted();
    into.insert(into.end(), FHeard.begin(), FHeard.end());
    FHeard.clear();
}

} // namespace parlino
