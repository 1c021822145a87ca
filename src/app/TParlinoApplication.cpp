#include "app/TParlinoApplication.h"

#include "ui/QtText.h"

#include <QMessageBox>

namespace parlino {

TParlinoApplication::TParlinoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Parlino");
    setApplicationDisplayName("Parlino");
    // Ties the windows to the installed menu entry (its icon and name on Wayland).
    setDesktopFileName(PARLINO_APP_ID);
    SetErrorDisplay([](const std::string& message) {
        QMessageBox::critical(QApplication::activeWindow(), "Parlino", AnsiToQt(message));
    });
}

TParlinoApplication::~TParlinoApplication() { SetErrorDisplay(nullptr); }

bool TParlinoApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentException();
        return false;
    }
}

} // namespace parlino
