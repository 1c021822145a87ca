#pragma once
// The program's general error report: every failure that reaches an event
// handler ends here and is shown to the user, so no exception leaves a
// handler. It holds no toolkit code; the application installs how a report
// is shown (a message box), tests install a hook that collects them.

#include <functional>
#include <string>

namespace parlino {

using TErrorHook = std::function<void(const std::string& message)>;

// Shows `message` through the hook when a test set one, else through the
// display the application installed, else on stderr.
void ReportError(const std::string& message);
// Reports the exception in flight; call from a catch block.
void ReportCurrentException();
// Runs a command handler, reporting any failure instead of letting it escape.
void RunGuarded(const std::function<void()>& command);

// How reports are shown to the user; installed once by the application.
void SetErrorDisplay(TErrorHook display);
// Hook for tests: receives each reported message instead of the display.
void SetErrorHook(TErrorHook hook);

} // namespace parlino
