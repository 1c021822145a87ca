#pragma once
// The application object: its general error handler shows every failure that
// reaches the event loop in a message box, so no exception leaves a handler.

#include <QApplication>

#include <exception>
#include <functional>
#include <string>

namespace parlino {

class TParlinoApplication : public QApplication {
public:
    TParlinoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows `message` in an error box (or hands it to the test hook).
void ReportError(const std::string& message);
// Reports the exception in flight; call from a catch block.
void ReportCurrentException();
// Runs a command handler, reporting any failure instead of letting it escape.
void RunGuarded(const std::function<void()>& command);

// Hook for tests: receives each reported message instead of a message box.
using TErrorHook = std::function<void(const std::string& message)>;
void SetErrorHook(TErrorHook hook);

} // namespace parlino
