// Windows: the console's requests to end (TWinConsoleCtrl) reach the GUI
// thread as a queued call. The session's end reaches a window program as
// WM_QUERYENDSESSION / WM_ENDSESSION, which Qt turns into commitDataRequest
// (main.cpp saves the settings there) and the closing of its windows.

#include "ui/TShutdownSignals.h"

#include "platform/win/TWinConsoleCtrl.h"

#include <QMetaObject>

namespace parlino {
namespace {

std::unique_ptr<TWinConsoleCtrl> Console;

} // namespace

TShutdownSignals::TShutdownSignals(std::function<void()> shutdown, QObject* parent)
    : QObject(parent), FShutdown(std::move(shutdown)) {
    Console = std::make_unique<TWinConsoleCtrl>([this] {
        QMetaObject::invokeMethod(
            this, [this] { Drain(); }, Qt::QueuedConnection);
    });
}

// The window (made after this object) has gone and saved the settings: the
// system may end the process now.
TShutdownSignals::~TShutdownSignals() {
    Console.reset();
}

void TShutdownSignals::Drain() {
    if (FShutdown)
        FShutdown();
}

} // namespace parlino
