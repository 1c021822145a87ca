#pragma once
// Letting the event loop run for a while (ticks, engine events, bus answers),
// and the clock the tests and benchmarks of the window measure with.

#include <QEventLoop>
#include <QTimer>

#include <chrono>

namespace parlino::test {

using TClock = std::chrono::steady_clock;

inline double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs the event loop for `ms`.
inline void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace parlino::test
