#pragma once
// The poster of a render: engine threads post work, the renderer's thread
// runs it when it pumps, and waits for something new to be posted instead of
// polling. The engine posts a little audio at a time, a few tens of
// microseconds apart; a wait first spins for about that long, since putting
// the thread to sleep and waking it for each post would cost more than the
// synthesis it waits for.

#include "platform/IEventPoster.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace parlino {

class TRenderPoster final : public IEventPoster {
public:
    // Any thread.
    void Post(std::function<void()> work) override;
    // Runs everything posted so far and whatever that posts, on the calling
    // thread; returns how many ran.
    int Pump();
    // Returns when work is waiting (true) or `timeout` has passed (false).
    bool WaitForWork(std::chrono::milliseconds timeout);

private:
    std::mutex FMutex;
    std::condition_variable FPosted;
    std::deque<std::function<void()>> FQueue;
    std::atomic<size_t> FQueued{0}; // FQueue.size(), readable without the lock
    bool FSleeping = false;         // under FMutex: a waiter needs a notify
};

} // namespace parlino
