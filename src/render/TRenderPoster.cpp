#include "render/TRenderPoster.h"

#include <thread>

namespace parlino {

namespace {
// About the time the engine takes to synthesise one chunk of audio.
constexpr auto SpinTime = std::chrono::microseconds(200);
} // namespace

void TRenderPoster::Post(std::function<void()> work) {
    bool wake = false;
    {
        std::lock_guard lock(FMutex);
        FQueue.push_back(std::move(work));
        FQueued.store(FQueue.size(), std::memory_order_release);
        wake = FSleeping;
    }
    if (wake)
        FPosted.notify_one();
}

int TRenderPoster::Pump() {
    int ran = 0;
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(FMutex);
            if (FQueue.empty())
                return ran;
            work = std::move(FQueue.front());
            FQueue.pop_front();
            FQueued.store(FQueue.size(), std::memory_order_release);
        }
        work();
        ++ran;
    }
}

bool TRenderPoster::WaitForWork(std::chrono::milliseconds timeout) {
    const auto spinEnd = std::chrono::steady_clock::now() + SpinTime;
    while (FQueued.load(std::memory_order_acquire) == 0) {
        if (std::chrono::steady_clock::now() >= spinEnd) {
            std::unique_lock lock(FMutex);
            FSleeping = true;
            const bool posted = FPosted.wait_for(lock, timeout, [this] { return !FQueue.empty(); });
            FSleeping = false;
            return posted;
        }
        std::this_thread::yield();
    }
    return true;
}

} // namespace parlino
