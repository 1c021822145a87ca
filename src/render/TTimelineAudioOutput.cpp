#include "render/TTimelineAudioOutput.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <deque>
#include <limits>

namespace parlino {

struct TTimelineAudioOutput::TState {
    TAudioStreamEvents Events;
    std::vector<int16_t> Samples; // frames from Base on
    uint64_t Base = 0;            // frames already played and dropped
    uint64_t Written = 0;
    uint64_t Played = 0;
    std::deque<std::pair<uint64_t, uint64_t>> Marks; // (frame position, mark), not yet reported
    uint64_t LastMarkFrame = 0;                      // position of the last mark reported
    bool Paused = false;
    bool DrainRequested = false;
    bool Drained = false;
    bool Closed = false;
    TTimelineAudioOutput::TStreamSpan Span; // Stream and the frames played so far
    bool SpanReported = false;

    // Drops audio that has been played, now and then, so a long stream does
    // not keep everything it ever held.
    void Compact() {
        constexpr uint64_t Slack = 1 << 16;
        if (Played - Base < Slack)
            return;
        Samples.erase(Samples.begin(), Samples.begin() + static_cast<ptrdiff_t>(Played - Base));
        Base = Played;
    }
};

namespace {

class TTimelineStream final : public IAudioStream {
public:
    explicit TTimelineStream(std::shared_ptr<TTimelineAudioOutput::TState> state)
        : FState(std::move(state)) {}
    ~TTimelineStream() override { FState->Closed = true; }

    void Write(const int16_t* samples, size_t count) override {
        if (FState->DrainRequested || count == 0)
            return;
        FState->Samples.insert(FState->Samples.end(), samples, samples + count);
        FState->Written += count;
    }
    void Mark(uint64_t mark) override {
        if (!FState->DrainRequested)
            FState->Marks.emplace_back(FState->Written, mark);
    }
    void Drain() override { FState->DrainRequested = true; }
    void Pause() override { FState->Paused = true; }
    void Resume() override { FState->Paused = false; }
    bool IsPaused() const override { return FState->Paused; }
    uint64_t PlayedFrames() const override { return FState->Played; }

private:
    std::shared_ptr<TTimelineAudioOutput::TState> FState;
};

} // namespace

TTimelineAudioOutput::TTimelineAudioOutput(int sampleRate, int64_t startMs, TSink sink)
    : FSampleRate(sampleRate), FNowMs(startMs), FSink(std::move(sink)) {
    if (sampleRate <= 0)
        throw EParlinoError("The sample rate of the voice-over track must be positive.");
}

TTimelineAudioOutput::~TTimelineAudioOutput() {
    // Streams still open play nothing more.
    for (auto& state : FStreams)
        state->Paused = true;
}

std::vector<std::string> TTimelineAudioOutput::OutputDevices() {
    return {DeviceName};
}

std::unique_ptr<IAudioStream> TTimelineAudioOutput::OpenStream(int deviceIndex,
                                                               const TAudioFormat& format,
                                                               TAudioStreamEvents events) {
    if (deviceIndex > 0)
        throw EParlinoError("List index out of bounds (" + std::to_string(deviceIndex) + ")");
    if (format.Channels != 1 || format.SampleRate != FSampleRate)
        throw EParlinoError("The voice-over track takes mono audio at " +
                            std::to_string(FSampleRate) + " Hz only.");
    auto state = std::make_shared<TState>();
    state->Events = std::move(events);
    state->Span.Stream = FStreamsOpened++;
    FStreams.push_back(state);
    return std::make_unique<TTimelineStream>(std::move(state));
}

void TTimelineAudioOutput::SetNowMs(int64_t ms) {
    if (!FStreams.empty() || FFramesOut > 0 || FPendingSilence > 0)
        throw EParlinoError("The clock of the voice-over track can only be set before it plays.");
    FNowMs = ms;
}

uint64_t TTimelineAudioOutput::FrameAt(int64_t ms) const {
    return ms <= 0 ? 0 : static_cast<uint64_t>(ms) * static_cast<uint64_t>(FSampleRate) / 1000;
}

uint64_t TTimelineAudioOutput::FramesIn(uint32_t ms) const {
    return FrameAt(FNowMs + ms) - FrameAt(FNowMs);
}

bool TTimelineAudioOutput::Ready(uint32_t ms) const {
    const uint64_t frames = FramesIn(ms);
    for (const auto& state : FStreams) {
        if (state->Closed || state->Paused || state->DrainRequested)
            continue;
        // Strictly more: a mark written at the very end of what plays now is
        // then already in place.
        if (state->Written <= state->Played + frames)
            return false;
    }
    return true;
}

bool TTimelineAudioOutput::WritersAtRest(uint64_t aheadFrames) const {
    for (const auto& state : FStreams)
        if (!state->Closed && !state->DrainRequested &&
            state->Written <= state->LastMarkFrame + aheadFrames)
            return false;
    return true;
}

bool TTimelineAudioOutput::WriterHeldBack(uint64_t aheadFrames) const {
    return std::any_of(FStreams.begin(), FStreams.end(), [&](const auto& s) {
        return !s->Closed && !s->DrainRequested && s->Written > s->LastMarkFrame + aheadFrames;
    });
}

size_t TTimelineAudioOutput::OpenStreams() const {
    return static_cast<size_t>(
        std::count_if(FStreams.begin(), FStreams.end(), [](const auto& s) { return !s->Closed; }));
}

uint64_t TTimelineAudioOutput::FirstUnreportedFrame() const {
    uint64_t first = ClockFrame();
    for (const auto& s : FStreams)
        if (s->Span.Played && !s->SpanReported)
            first = std::min(first, s->Span.FirstFrame);
    return first;
}

void TTimelineAudioOutput::SweepClosed() {
    std::vector<TStreamSpan> over;
    std::erase_if(FStreams, [&](const auto& s) {
        if (!s->Closed)
            return false;
        if (!s->SpanReported) {
            s->SpanReported = true;
            s->Span.Cut = true;
            s->Span.WrittenFrames = s->Written;
            over.push_back(s->Span);
        }
        return true;
    });
    if (OnStreamOver)
        for (const TStreamSpan& span : over)
            OnStreamOver(span);
}

void TTimelineAudioOutput::Advance(uint32_t ms) {
    const uint64_t frames = FramesIn(ms);
    const uint64_t firstFrame = FrameAt(FNowMs);
    FNowMs += ms;
    SweepClosed();

    // The streams' audio of this tick, mixed in FMix; a stream playing alone
    // (the usual case) goes out as it is.
    uint64_t audible = 0;
    size_t playing = 0;
    const int16_t* alone = nullptr;
    for (const auto& state : FStreams) {
        TState& s = *state;
        if (s.Paused)
            continue;
        const uint64_t take = std::min(frames, s.Written - s.Played);
        if (take == 0)
            continue;
        const int16_t* from = s.Samples.data() + (s.Played - s.Base);
        if (playing == 0) {
            alone = from;
        } else {
            if (playing == 1) {
                FMix.assign(frames, 0);
                std::copy(alone, alone + audible, FMix.begin());
            }
            for (uint64_t i = 0; i < take; ++i)
                FMix[i] += from[i];
        }
        ++playing;
        s.Played += take;
        if (!s.Span.Played) {
            s.Span.Played = true;
            s.Span.FirstFrame = firstFrame;
        }
        s.Span.EndFrame = firstFrame + take;
        s.Span.PlayedFrames = s.Played;
        audible = std::max(audible, take);
    }
    if (audible > 0) {
        EmitSilence(FPendingSilence);
        FPendingSilence = 0;
        if (playing == 1)
            EmitSamples(alone, static_cast<size_t>(audible));
        else
            Emit(FMix, static_cast<size_t>(audible));
    }
    FPendingSilence += frames - audible;

    // Then what playback has reached, reported once the state is settled.
    std::vector<std::function<void()>> calls;
    for (const auto& state : FStreams) {
        TState& s = *state;
        while (!s.Marks.empty() && s.Marks.front().first <= s.Played) {
            const uint64_t mark = s.Marks.front().second;
            s.LastMarkFrame = s.Marks.front().first;
            s.Marks.pop_front();
            if (s.Events.OnMarkPlayed)
                calls.push_back([state, mark] {
                    if (!state->Closed)
                        state->Events.OnMarkPlayed(mark);
                });
        }
        if (s.DrainRequested && !s.Drained && s.Played == s.Written) {
            s.Drained = true;
            if (!s.SpanReported) {
                s.SpanReported = true;
                s.Span.WrittenFrames = s.Written;
                if (OnStreamOver)
                    calls.push_back([this, span = s.Span] { OnStreamOver(span); });
            }
            if (s.Events.OnDrained)
                calls.push_back([state] {
                    if (!state->Closed)
                        state->Events.OnDrained();
                });
        }
        s.Compact();
    }
    for (auto& call : calls)
        call();
}

void TTimelineAudioOutput::Emit(const std::vector<int32_t>& mix, size_t count) {
    FOut.resize(count);
    for (size_t i = 0; i < count; ++i)
        FOut[i] = static_cast<int16_t>(std::clamp<int32_t>(
            mix[i], std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
    EmitSamples(FOut.data(), count);
}

void TTimelineAudioOutput::EmitSamples(const int16_t* samples, size_t count) {
    if (FSink)
        FSink(samples, count);
    FFramesOut += count;
}

void TTimelineAudioOutput::EmitSilence(uint64_t count) {
    static const int16_t zeros[4096] = {};
    FFramesOut += count;
    while (count > 0) {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(count, std::size(zeros)));
        if (FSink)
            FSink(zeros, take);
        count -= take;
    }
}

} // namespace parlino
