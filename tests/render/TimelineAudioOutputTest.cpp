#include "platform/Exceptions.h"
#include "render/TTimelineAudioOutput.h"

#include <gtest/gtest.h>

#include <vector>

using namespace parlino;

namespace {

// A timeline at 1000 Hz, so that one frame is one millisecond.
struct TTimeline {
    explicit TTimeline(int64_t startMs = 0)
        : Output(1000, startMs,
                 [this](const int16_t* s, size_t n) { Track.insert(Track.end(), s, s + n); }) {}

    std::unique_ptr<IAudioStream> Open(TAudioStreamEvents events = {}) {
        return Output.OpenStream(-1, TAudioFormat{1000, 1}, std::move(events));
    }
    std::vector<int16_t> Track;
    TTimelineAudioOutput Output;
};

void WriteConstant(IAudioStream& stream, int16_t value, size_t count) {
    std::vector<int16_t> samples(count, value);
    stream.Write(samples.data(), samples.size());
}

} // namespace

TEST(TimelineAudioOutput, AStreamPlaysFromTheTimeItWasOpenedAndTheTrackEndsWithItsAudio) {
    TTimeline t;
    t.Output.Advance(100);
    t.Output.Advance(100);
    auto stream = t.Open();
    WriteConstant(*stream, 7, 150);
    stream->Drain();
    for (int i = 0; i < 5; ++i)
        t.Output.Advance(100);
    ASSERT_EQ(t.Track.size(), 350u); // 200 ms of silence, then the stream; no silence after it
    EXPECT_EQ(t.Track[199], 0);
    EXPECT_EQ(t.Track[200], 7);
    EXPECT_EQ(t.Track[349], 7);
    EXPECT_EQ(t.Output.FramesOut(), 350u);
    EXPECT_EQ(stream->PlayedFrames(), 150u);
}

TEST(TimelineAudioOutput, StreamsOpenedBeforeTimeZeroWaitForIt) {
    TTimeline t(-200);
    auto stream = t.Open();
    WriteConstant(*stream, 5, 120);
    t.Output.Advance(100);
    t.Output.Advance(100);
    EXPECT_EQ(stream->PlayedFrames(), 0u);
    EXPECT_EQ(t.Output.NowMs(), 0);
    t.Output.Advance(100);
    ASSERT_EQ(t.Track.size(), 100u);
    EXPECT_EQ(t.Track[0], 5);
    EXPECT_THROW(t.Output.SetNowMs(0), EParlinoError); // only before anything played
}

TEST(TimelineAudioOutput, OverlappingStreamsAreMixedAndClipped) {
    TTimeline t;
    auto a = t.Open();
    auto b = t.Open();
    WriteConstant(*a, 30000, 50);
    WriteConstant(*b, 10, 80);
    a->Drain();
    b->Drain();
    t.Output.Advance(100);
    ASSERT_EQ(t.Track.size(), 80u);
    EXPECT_EQ(t.Track[0], 30010);
    EXPECT_EQ(t.Track[60], 10);
    auto c = t.Open();
    auto d = t.Open();
    WriteConstant(*c, 30000, 10);
    WriteConstant(*d, 30000, 10);
    WriteConstant(*c, -30000, 10);
    WriteConstant(*d, -30000, 10);
    t.Output.Advance(100);
    EXPECT_EQ(t.Track[100], 32767);
    EXPECT_EQ(t.Track[119], -32768);
}

TEST(TimelineAudioOutput, DestroyingAStreamCutsItWhereItsPlaybackStands) {
    TTimeline t;
    bool drained = false;
    TAudioStreamEvents events;
    events.OnDrained = [&] { drained = true; };
    auto stream = t.Open(events);
    WriteConstant(*stream, 9, 500);
    stream->Drain();
    t.Output.Advance(100);
    stream.reset();
    t.Output.Advance(100);
    auto next = t.Open();
    WriteConstant(*next, 4, 10);
    t.Output.Advance(100);
    ASSERT_EQ(t.Track.size(), 210u);
    EXPECT_EQ(t.Track[99], 9);
    EXPECT_EQ(t.Track[100], 0); // cut: the rest of the first stream is never heard
    EXPECT_EQ(t.Track[200], 4);
    EXPECT_FALSE(drained);
    EXPECT_EQ(t.Output.OpenStreams(), 1u);
}

TEST(TimelineAudioOutput, APausedStreamIsSilentAndPlaysOnLater) {
    TTimeline t;
    auto stream = t.Open();
    WriteConstant(*stream, 3, 150);
    t.Output.Advance(100);
    stream->Pause();
    EXPECT_TRUE(stream->IsPaused());
    EXPECT_TRUE(t.Output.Ready(100)); // a paused stream needs nothing to go on
    t.Output.Advance(100);
    stream->Resume();
    t.Output.Advance(100);
    ASSERT_EQ(t.Track.size(), 250u);
    EXPECT_EQ(t.Track[99], 3);
    EXPECT_EQ(t.Track[100], 0);
    EXPECT_EQ(t.Track[199], 0);
    EXPECT_EQ(t.Track[200], 3);
    EXPECT_EQ(stream->PlayedFrames(), 150u);
}

TEST(TimelineAudioOutput, MarksAndTheDrainFireWhenPlaybackReachesThem) {
    TTimeline t;
    std::vector<std::string> log;
    TAudioStreamEvents events;
    events.OnMarkPlayed = [&](uint64_t mark) { log.push_back("mark " + std::to_string(mark)); };
    events.OnDrained = [&] { log.push_back("drained"); };
    auto stream = t.Open(events);
    stream->Mark(1);
    WriteConstant(*stream, 1, 100);
    stream->Mark(2); // at frame 100: the end of the first tick
    WriteConstant(*stream, 1, 50);
    stream->Mark(3);
    stream->Drain();
    stream->Mark(4);                 // after Drain: ignored
    WriteConstant(*stream, 1, 1000); // ignored too
    EXPECT_TRUE(log.empty());        // nothing fires inside the stream's own calls
    t.Output.Advance(100);
    EXPECT_EQ(log, (std::vector<std::string>{"mark 1", "mark 2"}));
    t.Output.Advance(100);
    EXPECT_EQ(log, (std::vector<std::string>{"mark 1", "mark 2", "mark 3", "drained"}));
    t.Output.Advance(100);
    EXPECT_EQ(log.size(), 4u);
    EXPECT_EQ(t.Track.size(), 150u);
}

TEST(TimelineAudioOutput, ADrainWithNothingWrittenFiresAtTheNextTick) {
    TTimeline t;
    int drained = 0;
    TAudioStreamEvents events;
    events.OnDrained = [&] { ++drained; };
    auto stream = t.Open(events);
    stream->Drain();
    EXPECT_EQ(drained, 0);
    t.Output.Advance(100);
    t.Output.Advance(100);
    EXPECT_EQ(drained, 1);
    EXPECT_TRUE(t.Track.empty());
}

TEST(TimelineAudioOutput, ReadyOnlyWhenEveryStreamHoldsMoreThanTheNextTick) {
    TTimeline t;
    EXPECT_TRUE(t.Output.Ready(100));
    auto stream = t.Open();
    EXPECT_FALSE(t.Output.Ready(100));
    WriteConstant(*stream, 1, 100);
    EXPECT_FALSE(t.Output.Ready(100)); // exactly one tick: a mark at its end may still come
    WriteConstant(*stream, 1, 1);
    EXPECT_TRUE(t.Output.Ready(100));
    t.Output.Advance(100);
    EXPECT_FALSE(t.Output.Ready(100));
    stream->Drain(); // no more follows: the short rest is all there is
    EXPECT_TRUE(t.Output.Ready(100));
    stream.reset();
    EXPECT_TRUE(t.Output.Ready(100));
}

TEST(TimelineAudioOutput, TheTrackIsItsOnlyDeviceAndTakesItsOwnFormat) {
    TTimeline t;
    EXPECT_EQ(t.Output.OutputDevices(), std::vector<std::string>{TTimelineAudioOutput::DeviceName});
    EXPECT_NO_THROW(t.Output.OpenStream(0, TAudioFormat{1000, 1}, {}));
    EXPECT_THROW(t.Output.OpenStream(1, TAudioFormat{1000, 1}, {}), EParlinoError);
    EXPECT_THROW(t.Output.OpenStream(-1, TAudioFormat{22050, 1}, {}), EParlinoError);
    EXPECT_THROW(t.Output.OpenStream(-1, TAudioFormat{1000, 2}, {}), EParlinoError);
}

TEST(TimelineAudioOutput, ALongStreamPlaysCorrectlyAcrossTheDroppingOfPlayedAudio) {
    TTimeline t;
    auto stream = t.Open();
    std::vector<int16_t> ramp(200000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int16_t>(i % 30000 + 1);
    stream->Write(ramp.data(), ramp.size());
    stream->Drain();
    for (int i = 0; i < 2001; ++i)
        t.Output.Advance(100);
    EXPECT_EQ(t.Track, ramp);
}

TEST(TimelineAudioOutput, AStreamOutlivingTheOutputIsHarmless) {
    std::unique_ptr<IAudioStream> stream;
    {
        TTimeline t;
        stream = t.Open();
    }
    WriteConstant(*stream, 1, 10);
    stream->Drain();
    EXPECT_EQ(stream->PlayedFrames(), 0u);
}

// The spans the render's report is built from: where each stream's first and
// last frames went in the track, through a pause, and where a cut fell.
TEST(TimelineAudioOutput, EachStreamReportsWhereItPlayedOnceItIsOver) {
    TTimeline t(-100);
    std::vector<TTimelineAudioOutput::TStreamSpan> spans;
    t.Output.OnStreamOver = [&](const TTimelineAudioOutput::TStreamSpan& s) { spans.push_back(s); };
    auto first = t.Open(); // opened before time 0: heard from 0
    WriteConstant(*first, 1, 150);
    first->Drain();
    t.Output.Advance(100);
    t.Output.Advance(100); // 0..100
    first->Pause();        // 50 frames left, heard after the pause
    t.Output.Advance(100);
    first->Resume();
    auto second = t.Open();
    WriteConstant(*second, 2, 300);
    t.Output.Advance(100); // first: 200..250, its last 50 frames; second: 200..300
    EXPECT_EQ(spans.size(), 1u);
    second.reset(); // cut with 200 frames unplayed
    auto never = t.Open();
    WriteConstant(*never, 3, 10);
    never.reset(); // cut before a frame played
    t.Output.SweepClosed();
    t.Output.Advance(100);

    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[0].Stream, 0u);
    EXPECT_TRUE(spans[0].Played);
    EXPECT_EQ(spans[0].FirstFrame, 0u);
    EXPECT_EQ(spans[0].EndFrame, 250u);
    EXPECT_EQ(spans[0].PlayedFrames, 150u);
    EXPECT_FALSE(spans[0].Cut);
    EXPECT_EQ(spans[1].Stream, 1u);
    EXPECT_EQ(spans[1].FirstFrame, 200u);
    EXPECT_EQ(spans[1].EndFrame, 300u);
    EXPECT_EQ(spans[1].PlayedFrames, 100u);
    EXPECT_EQ(spans[1].WrittenFrames, 300u);
    EXPECT_TRUE(spans[1].Cut);
    EXPECT_EQ(spans[2].Stream, 2u);
    EXPECT_FALSE(spans[2].Played);
    EXPECT_TRUE(spans[2].Cut);
    EXPECT_EQ(spans[2].WrittenFrames, 10u);
}

// A writer that keeps at most `ahead` frames beyond the marks it has heard
// waits for the next Advance once a stream holds more than that.
TEST(TimelineAudioOutput, AWriterIsHeldBackOnlyWhileItsStreamHoldsMoreThanItMayAhead) {
    TTimeline t;
    auto stream = t.Open();
    WriteConstant(*stream, 1, 300);
    EXPECT_FALSE(t.Output.WriterHeldBack(300));
    EXPECT_TRUE(t.Output.WriterHeldBack(299));
    stream->Mark(0);
    t.Output.Advance(100); // the mark at frame 300 is not reached yet
    EXPECT_TRUE(t.Output.WriterHeldBack(299));
    WriteConstant(*stream, 1, 1);
    t.Output.Advance(200); // now it is: 1 frame beyond it
    EXPECT_TRUE(t.Output.WriterHeldBack(0));
    EXPECT_FALSE(t.Output.WriterHeldBack(1));
    stream->Drain(); // no more follows: nothing to hold back
    EXPECT_FALSE(t.Output.WriterHeldBack(0));
}
