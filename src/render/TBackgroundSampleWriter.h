#pragma once
// Hands blocks of samples to a writing function on a thread of its own, so
// that writing the track to disk overlaps with synthesis instead of adding
// to it. Blocks are written in the order given.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace parlino {

class TBackgroundSampleWriter {
public:
    using TWrite = std::function<void(const int16_t* samples, size_t count)>;
    // At most `maxQueued` blocks wait; Push blocks while the queue is full.
    explicit TBackgroundSampleWriter(TWrite write, size_t maxQueued = 8);
    ~TBackgroundSampleWriter(); // finishes, dropping a failure that Finish did not report
    TBackgroundSampleWriter(const TBackgroundSampleWriter&) = delete;
    TBackgroundSampleWriter& operator=(const TBackgroundSampleWriter&) = delete;

    void Push(std::vector<int16_t>&& block);
    // True once the writing function has failed: what is pushed is dropped,
    // and Finish says why.
    bool Failed();
    // Writes everything pushed, stops the thread and rethrows the first
    // failure of the writing function.
    void Finish();

private:
    void Run();

    TWrite FWrite;
    size_t FMaxQueued;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<std::vector<int16_t>> FQueue;
    bool FDone = false;
    std::exception_ptr FFailure;
    std::thread FThread;
};

} // namespace parlino
