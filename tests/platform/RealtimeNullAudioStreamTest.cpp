#include "platform/TRealtimeNullAudioStream.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace parlino;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using TClock = std::chrono::steady_clock;

namespace {

constexpr int Rate = 22050;

// Collects a stream's events with the time each arrived.
struct TEventLog {
    std::mutex Mutex;
    std::condition_variable Changed;
    std::vector<uint64_t> Marks;
    std::vector<TClock::time_point> MarkTimes;
    int Drained = 0;
    TClock::time_point DrainTime;

    TAudioStreamEvents Events() {
        return {[this](uint64_t mark) {
                    std::lock_guard lock(Mutex);
                    Marks.push_back(mark);
                    MarkTimes.push_back(TClock::now());
                    Changed.notify_all();
                },
                [this] {
                    std::lock_guard lock(Mutex);
                    ++Drained;
                    DrainTime = TClock::now();
                    Changed.notify_all();
                },
                [](const std::string&) { ADD_FAILURE() << "a null stream never fails"; }};
    }
    bool WaitDrained(std::chrono::milliseconds timeout = 3s) {
        std::unique_lock lock(Mutex);
        return Changed.wait_for(lock, timeout, [this] { return Drained > 0; });
    }
};

std::vector<int16_t> Audio(int ms, int channels = 1) {
    return std::vector<int16_t>(static_cast<size_t>(Rate * ms / 1000 * channels), 1000);
}

double MsSince(TClock::time_point start, TClock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - start).count();
}

} // namespace

TEST(RealtimeNullAudioStream, MarksAndDrainArriveWhenTheirAudioWouldHaveBeenHeard) {
    TEventLog log;
    TRealtimeNullAudioStream stream({Rate, 2}, log.Events());
    const auto start = TClock::now();
    stream.Mark(1); // before any audio: reached at once
    const auto audio = Audio(100, 2);
    stream.Write(audio.data(), audio.size());
    stream.Mark(2);
    stream.Write(audio.data(), audio.size());
    stream.Mark(3);
    stream.Drain();
    ASSERT_TRUE(log.WaitDrained());

    std::lock_guard lock(log.Mutex);
    ASSERT_THAT(log.Marks, ElementsAre(1u, 2u, 3u));
    EXPECT_LT(MsSince(start, log.MarkTimes[0]), 50);
    EXPECT_GE(MsSince(start, log.MarkTimes[1]), 95);
    EXPECT_LT(MsSince(start, log.MarkTimes[1]), 250);
    EXPECT_GE(MsSince(start, log.MarkTimes[2]), 195);
    EXPECT_LT(MsSince(start, log.DrainTime), 400);
    EXPECT_EQ(log.Drained, 1);
    EXPECT_EQ(stream.PlayedFrames(),
              static_cast<uint64_t>(Rate / 5)); // two channels count as one frame
}

TEST(RealtimeNullAudioStream, PauseHoldsTheClockAndResumeContinues) {
    TEventLog log;
    TRealtimeNullAudioStream stream({Rate, 1}, log.Events());
    const auto audio = Audio(200);
    const auto start = TClock::now();
    stream.Write(audio.data(), audio.size());
    stream.Drain();
    std::this_thread::sleep_for(50ms);
    stream.Pause();
    EXPECT_TRUE(stream.IsPaused());
    const uint64_t atPause = stream.PlayedFrames();
    EXPECT_GT(atPause, 0u);
    EXPECT_LT(atPause, static_cast<uint64_t>(Rate / 5));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(stream.PlayedFrames(), atPause);
    EXPECT_EQ(log.Drained, 0);

    stream.Resume();
    EXPECT_FALSE(stream.IsPaused());
    ASSERT_TRUE(log.WaitDrained());
    // 200 ms of audio plus the 300 ms pause.
    EXPECT_GE(MsSince(start, log.DrainTime), 490);
    EXPECT_EQ(stream.PlayedFrames(), static_cast<uint64_t>(Rate / 5));
}

TEST(RealtimeNullAudioStream, ClockStandsStillWhenItRunsOutOfAudio) {
    TEventLog log;
    TRealtimeNullAudioStream stream({Rate, 1}, log.Events());
    const auto audio = Audio(50);
    stream.Write(audio.data(), audio.size());
    std::this_thread::sleep_for(150ms); // 100 ms with nothing to play
    EXPECT_EQ(stream.PlayedFrames(), audio.size());

    // The next audio plays from now on, not from when the first ran out.
    const auto resumed = TClock::now();
    stream.Write(audio.data(), audio.size());
    stream.Mark(7);
    ASSERT_TRUE([&] {
        std::unique_lock lock(log.Mutex);
        return log.Changed.wait_for(lock, 2s, [&] { return !log.Marks.empty(); });
    }());
    EXPECT_GE(MsSince(resumed, log.MarkTimes[0]), 45);
    EXPECT_EQ(log.Drained, 0); // no drain asked for
}

TEST(RealtimeNullAudioStream, DrainWithoutAudioEndsAtOnceAndLaterWritesAreIgnored) {
    TEventLog log;
    TRealtimeNullAudioStream stream({Rate, 1}, log.Events());
    const auto start = TClock::now();
    stream.Drain();
    ASSERT_TRUE(log.WaitDrained());
    EXPECT_LT(MsSince(start, log.DrainTime), 100);
    const auto audio = Audio(50);
    stream.Write(audio.data(), audio.size());
    stream.Mark(1);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(stream.PlayedFrames(), 0u);
    std::lock_guard lock(log.Mutex);
    EXPECT_TRUE(log.Marks.empty());
    EXPECT_EQ(log.Drained, 1);
}

TEST(RealtimeNullAudioStream, DestroyedStreamReportsNothingMore) {
    TEventLog log;
    {
        TRealtimeNullAudioStream stream({Rate, 1}, log.Events());
        const auto audio = Audio(100);
        stream.Write(audio.data(), audio.size());
        stream.Mark(1);
        stream.Drain();
    }
    std::this_thread::sleep_for(200ms);
    std::lock_guard lock(log.Mutex);
    EXPECT_TRUE(log.Marks.empty());
    EXPECT_EQ(log.Drained, 0);
}

TEST(RealtimeNullAudioStream, MayBeDestroyedFromItsOwnEvent) {
    std::mutex mutex;
    std::condition_variable done;
    bool destroyed = false;
    std::unique_ptr<IAudioStream> stream;
    TAudioStreamEvents events;
    events.OnDrained = [&] {
        std::lock_guard lock(mutex);
        stream.reset();
        destroyed = true;
        done.notify_all();
    };
    {
        std::lock_guard lock(mutex);
        stream = std::make_unique<TRealtimeNullAudioStream>(TAudioFormat{Rate, 1}, events);
        const auto audio = Audio(20);
        stream->Write(audio.data(), audio.size());
        stream->Drain();
    }
    std::unique_lock lock(mutex);
    EXPECT_TRUE(done.wait_for(lock, 2s, [&] { return destroyed; }));
}
