#include "app/TParlinoApplication.h"

#include "ui/QtText.h"

#include <QMessageBox>

namespace parlino {
namespace {
TErrorHook& ErrorHook() {
    static TErrorHook hook;
    return hook;
}
} // namespace

void SetErrorHook(TErrorHook hook) { ErrorHook() = std::move(hook); }

void ReportError(const std::string& message) {
    if (ErrorHook()) {
        ErrorHook()(message);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), "Parlino", AnsiToQt(message));
}

void ReportCurrentException() {
    try {
        throw;
    } catch (const std::exception& e) {
        ReportError(e.what());
    } catch (...) {
        ReportError("Unknown error.");
    }
}

void RunGuarded(const std::function<void()>& command) {
    try {
        command();
    } catch (...) {
        ReportCurrentException();
    }
}

TParlinoApplication::TParlinoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Parlino");
    setApplicationDisplayName("Parlino");
}

bool TParlinoApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentException();
        return false;
    }
}

} // namespace parlino
