#pragma once
// The voice-over track and its heard speech, handed from the render to a mix
// that runs beside it on another thread. The render appends the track (on
// its writer's thread) and, after every tick, says how far the track and the
// speech are final; the mix reads only what is final, and waits for more.
// The track goes to a temporary file, so that a mix that falls behind costs
// no memory.

#include "render/TFilmMixer.h"
#include "render/TVoiceSpool.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace parlino {

class TVoiceFeed {
public:
    // --- the render's side

    // Appends samples of the track, in order.
    void Write(const int16_t* samples, size_t count);
    // The track is final before frame `clockFrame`: the frames before
    // `framesOut` as written, those from there on silence. Every stretch of
    // speech starting before `speechSettledMs` has been given, `heard` being
    // the ones over since the last call.
    void Settle(uint64_t framesOut, uint64_t clockFrame, int64_t speechSettledMs,
                std::vector<TSpeechStretch> heard);
    // Everything has been written and given: the track ends after the last
    // frame written, and `heard` is the last of the speech.
    void End(std::vector<TSpeechStretch> heard);
    // The render has stopped short: whatever waits on the mix's side throws.
    void Abort();

    // --- the mix's side (one thread)

    // Reads the next samples of the track, waiting until some are final;
    // returns 0 at its end. Throws EParlinoError after Abort.
    size_t Read(int16_t* samples, size_t count);
    // Waits until every stretch starting before `ms` has been given, then
    // moves the ones not yet taken to `into`. Throws EParlinoError after Abort.
    void TakeSpeechBefore(int64_t ms, std::vector<TSpeechStretch>& into);

private:
    void ThrowIfAborted() const;

    TVoiceSpool FSpool;
    std::mutex FMutex;
    std::condition_variable FChanged;
    uint64_t FWritten = 0;   // samples in the spool
    uint64_t FFramesOut = 0; // the render's frames out: before them, the spool's samples
    uint64_t FFinal = 0;     // from FFramesOut up to here, silence
    int64_t FSettledMs = 0;
    std::vector<TSpeechStretch> FHeard; // given, not yet taken
    bool FEnded = false, FAborted = false;
    uint64_t FReadAt = 0; // the mix's next sample
};

} // namespace parlino
