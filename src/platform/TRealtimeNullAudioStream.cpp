#include "platform/TRealtimeNullAudioStream.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace parlino {

using TClock = std::chrono::steady_clock;

// Everything the clock thread touches; the thread keeps it alive, so the
// stream may be destroyed from within its own events.
struct TRealtimeNullAudioStream::TState {
    TState(const TAudioFormat& format, TAudioStreamEvents events)
        : Rate(std::max(1, format.SampleRate)), Channels(std::max(1, format.Channels)),
          Events(std::move(events)) {}

    const int Rate;
    const int Channels;
    const TAudioStreamEvents Events;

    mutable std::mutex Mutex;
    std::condition_variable Wake;
    uint64_t Written = 0;        // frames
    mutable uint64_t Played = 0; // frames, as of Since
    mutable TClock::time_point Since = TClock::now();
    std::deque<std::pair<uint64_t, uint64_t>> Marks; // (frame position, mark)
    bool Paused = false;
    bool DrainRequested = false;
    bool DrainReported = false;
    bool Stopped = false;
    std::thread Thread;

    // Moves the clock up to `now`. Called with Mutex held.
    void Advance(TClock::time_point now) const {
        if (Paused || Played >= Written) {
            Since = now;
            return;
        }
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::nanoseconds>(now - Since).count();
        const uint64_t frames =
            static_cast<uint64_t>(elapsed) * static_cast<uint64_t>(Rate) / 1'000'000'000u;
        if (Played + frames >= Written) {
            Played = Written;
            Since = now;
        } else {
            // Keep the fraction of a frame for the next step, so the clock does not drift.
            Played += frames;
            Since +=
                std::chrono::nanoseconds(frames * 1'000'000'000u / static_cast<uint64_t>(Rate));
        }
    }

    // A mark is reached once playback has gone past it, or has stopped at it
    // because nothing follows.
    bool Reached(uint64_t position) const {
        return Played > position || (Played == position && Played == Written);
    }

    void Run() {
        std::unique_lock lock(Mutex);
        while (!Stopped) {
            Advance(TClock::now());
            std::vector<uint64_t> marks;
            while (!Marks.empty() && Reached(Marks.front().first)) {
                marks.push_back(Marks.front().second);
                Marks.pop_front();
            }
            const bool drained =
                DrainRequested && !DrainReported && Played == Written && Marks.empty();
            if (drained)
                DrainReported = true;

            if (!marks.empty() || drained) {
                lock.unlock();
                for (uint64_t mark : marks)
                    if (Events.OnMarkPlayed)
                        Events.OnMarkPlayed(mark);
                if (drained && Events.OnDrained)
                    Events.OnDrained();
                lock.lock();
                continue;
            }

            // Sleep until the next mark or the end of the audio, or until told.
            const bool waiting = !Marks.empty() || (DrainRequested && !DrainReported);
            if (Paused || !waiting || Played >= Written) {
                Wake.wait(lock);
                continue;
            }
            const uint64_t target =
                Marks.empty() ? Written : std::min(Marks.front().first + 1, Written);
            const auto due =
                Since + std::chrono::nanoseconds(
                            (target - Played) * 1'000'000'000u / static_cast<uint64_t>(Rate) + 1);
            Wake.wait_until(lock, due);
        }
    }
};

TRealtimeNullAudioStream::TRealtimeNullAudioStream(const TAudioFormat& format,
                                                   TAudioStreamEvents events)
    : FState(std::make_shared<TState>(format, std::move(events))) {
    FState->Thread = std::thread([state = FState] { state->Run(); });
}

TRealtimeNullAudioStream::~TRealtimeNullAudioStream() {
    {
        std::lock_guard lock(FState->Mutex);
        FState->Stopped = true;
    }
    FState->Wake.notify_all();
    if (FState->Thread.get_id() == std::this_thread::get_id())
        FState->Thread.detach();
    else
        FState->Thread.join();
}

void TRealtimeNullAudioStream::Write(const int16_t*, size_t count) {
    std::lock_guard lock(FState->Mutex);
    if (FState->DrainRequested)
        return;
    // Settle the clock first so that an underrun before this write is not
    // counted as playing time.
    FState->Advance(TClock::now());
    FState->Written += count / static_cast<size_t>(FState->Channels);
    FState->Wake.notify_all();
}

void TRealtimeNullAudioStream::Mark(uint64_t mark) {
    std::lock_guard lock(FState->Mutex);
    if (FState->DrainRequested)
        return;
    FState->Marks.emplace_back(FState->Written, mark);
    FState->Wake.notify_all();
}

void TRealtimeNullAudioStream::Drain() {
    std::lock_guard lock(FState->Mutex);
    FState->DrainRequested = true;
    FState->Wake.notify_all();
}

void TRealtimeNullAudioStream::Pause() {
    std::lock_guard lock(FState->Mutex);
    FState->Advance(TClock::now());
    FState->Paused = true;
    FState->Wake.notify_all();
}

void TRealtimeNullAudioStream::Resume() {
    std::lock_guard lock(FState->Mutex);
    FState->Advance(TClock::now());
    FState->Paused = false;
    FState->Wake.notify_all();
}

bool TRealtimeNullAudioStream::IsPaused() const {
    std::lock_guard lock(FState->Mutex);
    return FState->Paused;
}

uint64_t TRealtimeNullAudioStream::PlayedFrames() const {
    std::lock_guard lock(FState->Mutex);
    FState->Advance(TClock::now());
    return FState->Played;
}

} // namespace parlino
