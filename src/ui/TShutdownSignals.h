#pragma once
// Ends the program cleanly when it is asked to from outside: SIGTERM (a kill
// or the desktop session ending), SIGINT (Ctrl+C) and SIGHUP (the terminal it
// was started from closing). The signal handler only writes a byte into a
// pipe; the event loop reads it and runs the shutdown on the GUI thread,
// where closing the main window saves the settings as File / Exit does.
// One instance per process: the handlers and the pipe are process-wide.

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
    std::unique_ptr<QSocketNotifier> FNotifier;
};

} // namespace parlino
