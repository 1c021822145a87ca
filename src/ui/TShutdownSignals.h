#pragma once
// Ends the program cleanly when it is asked to from outside, on the GUI
// thread, where closing the main window saves the settings as File / Exit
// does. One instance per process: what it installs is process-wide.
// Linux (ui/linux/): SIGTERM (a kill or the desktop session ending), SIGINT
// (Ctrl+C) and SIGHUP (the terminal it was started from closing); the signal
// handler only writes a byte into a pipe, which the event loop reads.
// Windows (ui/win/): the console's Ctrl+C, Ctrl+Break, close, log-off and
// shut-down (SetConsoleCtrlHandler), handed to the event loop as a queued
// call; the system waits for the object's destruction (after the window's)
// before it ends the process.

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace parlino {

class TShutdownSignals final : public QObject {
    Q_OBJECT
public:
    // Installs the handlers at once. A signal that arrives before the event
    // loop runs is kept in the pipe and acted on as soon as it runs.
    // `shutdown` runs on the GUI thread whenever signals have arrived.
    explicit TShutdownSignals(std::function<void()> shutdown, QObject* parent = nullptr);
    ~TShutdownSignals() override;

private:
    void Drain();
    std::function<void()> FShutdown;
    std::unique_ptr<QSocketNotifier> FNotifier; // Linux: the pipe's reading end
};

} // namespace parlino
