#pragma once
// An audio output in memory with a clock the test moves by hand: it keeps
// every sample written to each stream, and Advance plays the streams on, firing
// their marks and drains synchronously on the caller's thread.

#include "platform/IAudioOutput.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace parlino::test {

class TMemoryAudioOutput final : public IAudioOutput {
public:
    // What one opened stream received and where its playback stands. Kept by
    // the output after the stream is gone.
    struct TStreamRecord {
        int DeviceIndex = -1;
        TAudioFormat Format;
        std::vector<int16_t> Samples;
        std::vector<std::pair<uint64_t, uint64_t>> Marks; // (frame position, mark), as written
        std::vector<uint64_t> MarksPlayed;                // as reported
        uint64_t PlayedFrames = 0;
        bool Paused = false;
        bool DrainRequested = false;
        bool Drained = false; // OnDrained reported
        bool Failed = false;  // OnFailed reported
        bool Closed = false;  // the stream was destroyed
        int PauseCalls = 0, ResumeCalls = 0;

        uint64_t WrittenFrames() const {
            return Samples.size() / static_cast<size_t>(Format.Channels);
        }
    };

    explicit TMemoryAudioOutput(std::vector<std::string> devices = {"Memory Speakers",
                                                                    "Memory Headphones"});

    // Settable between calls.
    void SetDevices(std::vector<std::string> devices);
    // Misbehaviour on demand: the drain of later streams is never reported.
    void SetDropDrains(bool drop);
    // The next OpenStream returns a stream that fails at the next Advance.
    void FailNextOpen(std::string reason = "Connection terminated");

    std::vector<std::string> OutputDevices() override;
    // Throws EParlinoError for an index beyond the device list, unless the list
    // is empty (no server: the stream plays into nothing, DeviceIndex -1).
    std::unique_ptr<IAudioStream> OpenStream(int deviceIndex, const TAudioFormat& format,
                                             TAudioStreamEvents events) override;

    // Plays every open, unpaused stream on by `ms` milliseconds (a stream's
    // clock stands still when it has played all it was given), then reports
    // the marks reached and the drains completed, in order, on this thread.
    void Advance(uint32_t ms);
    // Makes stream `index` (in opening order) fail now: OnFailed on this thread.
    void Fail(size_t index, const std::string& reason = "Connection terminated");
    // Makes every open stream fail, as when the server dies.
    void FailAll(const std::string& reason = "Connection terminated");

    size_t StreamCount() const;
    // A copy of stream `index`'s record (in opening order).
    TStreamRecord Stream(size_t index) const;
    // The number of streams not yet destroyed.
    size_t OpenStreams() const;
    // The total time Advance has moved, in milliseconds.
    uint64_t NowMs() const;

    struct TState; // one stream's record and events, shared with its stream

private:
    void FailLocked(TState& state, const std::string& reason,
                    std::vector<std::function<void()>>& calls);

    mutable std::mutex FMutex;
    std::vector<std::string> FDevices;
    std::vector<std::shared_ptr<TState>> FStreams;
    bool FDropDrains = false;
    bool FFailNext = false;
    std::string FFailNextReason;
    uint64_t FNowMs = 0;
};

} // namespace parlino::test
