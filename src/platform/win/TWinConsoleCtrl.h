#pragma once
#include <functional>

namespace parlino {

// The console's requests to end the program (Ctrl+C, Ctrl+Break, its window
// closing, log-off, shut-down), through SetConsoleCtrlHandler. `request` runs
// on a thread of the system's and must only hand the news on. For the last
// three the system ends the process once the handler returns, so the handler
// waits (at most 4 s, within the system's own limit) until Done is called:
// the program calls it once it has shut down. One instance per process.
class TWinConsoleCtrl {
public:
    explicit TWinConsoleCtrl(std::function<void()> request);
    ~TWinConsoleCtrl(); // calls Done
    TWinConsoleCtrl(const TWinConsoleCtrl&) = delete;
    TWinConsoleCtrl& operator=(const TWinConsoleCtrl&) = delete;
    void Done();
};

} // namespace parlino
