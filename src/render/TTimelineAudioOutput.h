#pragma once
// An audio output whose playback clock is the render's simulated clock. Each
// stream plays from the track time at which it was opened (streams opened
// before track time 0 wait for it), and what the streams play is mixed into
// one mono track that goes to a sink as soon as it is final. The track is what
// a listener would hear: a paused stream is silent and plays on later, a
// destroyed stream is cut where its playback stood.
//
// Single-threaded: every call of the output and of its streams, and every
// stream event, happens on the renderer's thread. Events fire inside Advance,
// after the played audio is accounted for, never inside a call of a stream.

#include "platform/IAudioOutput.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace parlino {

class TTimelineAudioOutput final : public IAudioOutput {
public:
    // Receives the finished track in order, mono 16-bit samples at the
    // output's rate; sample 0 is track time 0.
    using TSink = std::function<void(const int16_t* samples, size_t count)>;

    // `startMs`: the track time the clock stands at now (may be negative).
    TTimelineAudioOutput(int sampleRate, int64_t startMs, TSink sink);
    ~TTimelineAudioOutput() override;
    TTimelineAudioOutput(const TTimelineAudioOutput&) = delete;
    TTimelineAudioOutput& operator=(const TTimelineAudioOutput&) = delete;

    static constexpr const char* DeviceName = "Voice-over track";

    // The track is the one device.
    std::vector<std::string> OutputDevices() override;
    // Device -1 or 0. The format must be mono at the output's rate; anything
    // else, or another device, throws EParlinoError. The stream may outlive
    // the output; it then plays nothing more.
    std::unique_ptr<IAudioStream> OpenStream(int deviceIndex, const TAudioFormat& format,
                                             TAudioStreamEvents events) override;

    int SampleRate() const { return FSampleRate; }
    int64_t NowMs() const { return FNowMs; }
    // Sets the clock without playing anything; only before the first stream
    // is opened (else throws EParlinoError).
    void SetNowMs(int64_t ms);
    // The frames of each running stream the next Advance(ms) plays.
    uint64_t FramesIn(uint32_t ms) const;
    // True when every open, running stream holds more audio than the next
    // Advance(ms) plays, or has been told that no more follows. Only then is
    // what Advance plays, and which marks it reports, independent of how far
    // synthesis has got.
    bool Ready(uint32_t ms) const;
    // True when every open stream has been told that no more audio follows,
    // or holds more than `aheadFrames` beyond its last reported mark. A
    // writer that stays at most that far ahead of the marks it has heard
    // (as the voice's flow control does) is then at rest.
    bool WritersAtRest(uint64_t aheadFrames) const;
    // True when some open stream that may still get audio holds more than
    // `aheadFrames` beyond its last reported mark: its writer, if it keeps
    // that far ahead of the marks, waits for the next Advance.
    bool WriterHeldBack(uint64_t aheadFrames) const;
    size_t OpenStreams() const;
    // Moves the clock on by `ms`: every running stream plays what it holds of
    // that time, then the marks reached and the drains completed are
    // reported, stream by stream in opening order.
    void Advance(uint32_t ms);
    // Where a stream's audio sits in the track, reported once the stream is
    // over: when it has played out after Drain, or, for a stream destroyed
    // before that (cut off), at the next Advance or SweepClosed. Streams are
    // numbered 0, 1, ... in opening order.
    struct TStreamSpan {
        size_t Stream = 0;
        bool Played = false;      // false: not one frame was heard
        uint64_t FirstFrame = 0;  // track frame of its first played frame
        uint64_t EndFrame = 0;    // track frame after its last played frame
        uint64_t PlayedFrames = 0;
        uint64_t WrittenFrames = 0;
        bool Cut = false; // destroyed before it had played out
    };
    std::function<void(const TStreamSpan&)> OnStreamOver;
    // Reports the streams destroyed since the last Advance, without playing.
    void SweepClosed();

    // Track ms at the start of `frame` (rounded down).
    int64_t MsAt(uint64_t frame) const { return static_cast<int64_t>(frame * 1000 / static_cast<uint64_t>(FSampleRate)); }
    // The track frame the clock stands at: the track before it is final.
    uint64_t ClockFrame() const { return FrameAt(FNowMs); }
    // The first played frame of the earliest stream not yet reported over,
    // or the clock frame: no stream reported later starts before it.
    uint64_t FirstUnreportedFrame() const;

    // Frames handed to the sink so far. Silence is handed on only once audio
    // follows it, so at the end of a render this is the end of the last audio.
    uint64_t FramesOut() const { return FFramesOut; }

    struct TState; // one stream's audio and playback, shared with the stream

private:
    void Emit(const std::vector<int32_t>& mix, size_t count);
    void EmitSamples(const int16_t* samples, size_t count);
    void EmitSilence(uint64_t count);
    uint64_t FrameAt(int64_t ms) const;

    int FSampleRate;
    int64_t FNowMs;
    TSink FSink;
    std::vector<std::shared_ptr<TState>> FStreams; // open streams, in opening order
    std::vector<int32_t> FMix;
    std::vector<int16_t> FOut;
    uint64_t FPendingSilence = 0;
    uint64_t FFramesOut = 0;
    size_t FStreamsOpened = 0;
};

} // namespace parlino
