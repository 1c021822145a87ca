#include "fakes/TMemoryAudioOutput.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <functional>

namespace parlino::test {

struct TMemoryAudioOutput::TState {
    TStreamRecord Record;
    TAudioStreamEvents Events;
    uint64_t FrameRemainder = 0; // the fraction of a frame carried between Advance calls, x1000
    bool FailPending = false;
    std::string FailReason;
};

namespace {

class TMemoryAudioStream final : public IAudioStream {
public:
    TMemoryAudioStream(std::mutex& mutex, std::shared_ptr<TMemoryAudioOutput::TState> state)
        : FMutex(mutex), FState(std::move(state)) {}
    ~TMemoryAudioStream() override {
        std::lock_guard lock(FMutex);
        FState->Record.Closed = true;
    }
    void Write(const int16_t* samples, size_t count) override {
        std::lock_guard lock(FMutex);
        auto& r = FState->Record;
        if (r.Failed || r.DrainRequested)
            return;
        r.Samples.insert(r.Samples.end(), samples, samples + count);
    }
    void Mark(uint64_t mark) override {
        std::lock_guard lock(FMutex);
        auto& r = FState->Record;
        if (r.Failed || r.DrainRequested)
            return;
        r.Marks.emplace_back(r.WrittenFrames(), mark);
    }
    void Drain() override {
        std::lock_guard lock(FMutex);
        if (!FState->Record.Failed)
            FState->Record.DrainRequested = true;
    }
    void Pause() override {
        std::lock_guard lock(FMutex);
        FState->Record.Paused = true;
        ++FState->Record.PauseCalls;
    }
    void Resume() override {
        std::lock_guard lock(FMutex);
        FState->Record.Paused = false;
        ++FState->Record.ResumeCalls;
    }
    bool IsPaused() const override {
        std::lock_guard lock(FMutex);
        return FState->Record.Paused;
    }
    uint64_t PlayedFrames() const override {
        std::lock_guard lock(FMutex);
        return FState->Record.PlayedFrames;
    }

private:
    std::mutex& FMutex;
    std::shared_ptr<TMemoryAudioOutput::TState> FState;
};

} // namespace

TMemoryAudioOutput::TMemoryAudioOutput(std::vector<std::string> devices)
    : FDevices(std::move(devices)) {}

void TMemoryAudioOutput::SetDevices(std::vector<std::string> devices) {
    std::lock_guard lock(FMutex);
    FDevices = std::move(devices);
}

void TMemoryAudioOutput::SetDropDrains(bool drop) {
    std::lock_guard lock(FMutex);
    FDropDrains = drop;
}

void TMemoryAudioOutput::FailNextOpen(std::string reason) {
    std::lock_guard lock(FMutex);
    FFailNext = true;
    FFailNextReason = std::move(reason);
}

std::vector<std::string> TMemoryAudioOutput::OutputDevices() {
    std::lock_guard lock(FMutex);
    return FDevices;
}

std::unique_ptr<IAudioStream> TMemoryAudioOutput::OpenStream(int deviceIndex,
                                                             const TAudioFormat& format,
                                                             TAudioStreamEvents events) {
    std::lock_guard lock(FMutex);
    if (!FDevices.empty() && deviceIndex >= static_cast<int>(FDevices.size()))
        throw EParlinoError("Sound device " + std::to_string(deviceIndex) + " does not exist.");
    auto state = std::make_shared<TState>();
    state->Record.DeviceIndex = FDevices.empty() ? -1 : deviceIndex;
    state->Record.Format = format;
    state->Record.Format.Channels = std::max(1, format.Channels);
    state->Events = std::move(events);
    if (FFailNext) {
        state->FailPending = true;
        state->FailReason = FFailNextReason;
        FFailNext = false;
    }
    FStreams.push_back(state);
    return std::make_unique<TMemoryAudioStream>(FMutex, std::move(state));
}

void TMemoryAudioOutput::FailLocked(TState& state, const std::string& reason,
                                    std::vector<std::function<void()>>& calls) {
    auto& r = state.Record;
    if (r.Failed || r.Closed)
        return;
    r.Failed = true;
    if (state.Events.OnFailed)
        calls.push_back([f = state.Events.OnFailed, reason] { f(reason); });
}

void TMemoryAudioOutput::Advance(uint32_t ms) {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(FMutex);
        FNowMs += ms;
        for (auto& state : FStreams) {
            auto& r = state->Record;
            if (r.Closed || r.Failed)
                continue;
            if (state->FailPending) {
                FailLocked(*state, state->FailReason, calls);
                continue;
            }
            if (!r.Paused) {
                const uint64_t scaled =
                    static_cast<uint64_t>(ms) * static_cast<uint64_t>(r.Format.SampleRate) +
                    state->FrameRemainder;
                const uint64_t written = r.WrittenFrames();
                r.PlayedFrames = std::min(written, r.PlayedFrames + scaled / 1000);
                // An underrun drops the fraction: the clock stood still.
                state->FrameRemainder = r.PlayedFrames < written ? scaled % 1000 : 0;
            }
            const uint64_t played = r.PlayedFrames;
            const bool atEnd = played == r.WrittenFrames();
            for (size_t i = r.MarksPlayed.size(); i < r.Marks.size(); ++i) {
                const uint64_t position = r.Marks[i].first;
                if (!(played > position || (played == position && atEnd)))
                    break;
                r.MarksPlayed.push_back(r.Marks[i].second);
                if (state->Events.OnMarkPlayed)
                    calls.push_back(
                        [f = state->Events.OnMarkPlayed, m = r.Marks[i].second] { f(m); });
            }
            if (r.DrainRequested && atEnd && !r.Drained && !FDropDrains &&
                r.MarksPlayed.size() == r.Marks.size()) {
                r.Drained = true;
                if (state->Events.OnDrained)
                    calls.push_back(state->Events.OnDrained);
            }
        }
    }
    for (auto& call : calls)
        call();
}

void TMemoryAudioOutput::Fail(size_t index, const std::string& reason) {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(FMutex);
        if (index < FStreams.size())
            FailLocked(*FStreams[index], reason, calls);
    }
    for (auto& call : calls)
        call();
}

void TMemoryAudioOutput::FailAll(const std::string& reason) {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(FMutex);
        for (auto& state : FStreams)
            FailLocked(*state, reason, calls);
    }
    for (auto& call : calls)
        call();
}

size_t TMemoryAudioOutput::StreamCount() const {
    std::lock_guard lock(FMutex);
    return FStreams.size();
}

TMemoryAudioOutput::TStreamRecord TMemoryAudioOutput::Stream(size_t index) const {
    std::lock_guard lock(FMutex);
    return FStreams.at(index)->Record;
}

size_t TMemoryAudioOutput::OpenStreams() const {
    std::lock_guard lock(FMutex);
    return static_cast<size_t>(std::count_if(FStreams.begin(), FStreams.end(),
                                             [](const auto& s) { return !s->Record.Closed; }));
}

uint64_t TMemoryAudioOutput::NowMs() const {
    std::lock_guard lock(FMutex);
    return FNowMs;
}

} // namespace parlino::test
