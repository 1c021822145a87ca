#pragma once
#include <functional>

namespace parlino {

// Hands work from an engine thread to the program's (GUI) thread. Post may
// be called from any thread; the work runs later on the program's thread, in
// the order posted. In the application this is a queued Qt call; in tests a
// queue the test pumps, so tests stay deterministic.
class IEventPoster {
public:
    virtual ~IEventPoster() = default;
    virtual void Post(std::function<void()> work) = 0;
};

} // namespace parlino
