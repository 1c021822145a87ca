#pragma once
#include "platform/IEventPoster.h"

#include <deque>
#include <mutex>

namespace parlino::test {

// Keeps posted work until the test pumps it, on the test's own thread.
class TQueuePoster final : public IEventPoster {
public:
    void Post(std::function<void()> work) override {
        std::lock_guard lock(FMutex);
        FQueue.push_back(std::move(work));
    }
    // Runs everything posted so far (and what that posts); returns how many ran.
    int Pump() {
        int ran = 0;
        for (;;) {
            std::function<void()> work;
            {
                std::lock_guard lock(FMutex);
                if (FQueue.empty()) return ran;
                work = std::move(FQueue.front());
                FQueue.pop_front();
            }
            work();
            ++ran;
        }
    }
    size_t Pending() {
        std::lock_guard lock(FMutex);
        return FQueue.size();
    }

private:
    std::mutex FMutex;
    std::deque<std::function<void()>> FQueue;
};

} // namespace parlino::test
