#pragma once
// A stream that plays into nothing: the audio is discarded, but a real-time
// clock advances through it as a sound card would, so that marks and the drain
// arrive when the listener would have heard them. Used when no sound server
// is reachable, so that speech still runs to its end.

#include "platform/IAudioOutput.h"

#include <memory>

namespace parlino {

class TRealtimeNullAudioStream final : public IAudioStream {
public:
    // Starts the stream's clock thread. The events are called on that thread,
    // with no lock of the stream held, so they may call into the stream and
    // may even destroy it.
    TRealtimeNullAudioStream(const TAudioFormat& format, TAudioStreamEvents events);
    // Stops the clock at once; no event is called after it returns (unless it
    // is called from one of the stream's own events, which then finishes).
    ~TRealtimeNullAudioStream() override;

    // The clock runs while audio is queued and the stream is not paused; it
    // stands still when all written audio has been played (an underrun), as
    // a sound card's would. Write and Mark after Drain are ignored.
    void Write(const int16_t* samples, size_t count) override;
    void Mark(uint64_t mark) override;
    void Drain() override;
    void Pause() override;
    void Resume() override;
    bool IsPaused() const override;
    uint64_t PlayedFrames() const override;

    struct TState; // shared with the clock thread

private:
    std::shared_ptr<TState> FState;
};

} // namespace parlino
