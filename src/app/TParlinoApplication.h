#pragma once
// The application object: its general error handler shows every failure that
// reaches the event loop in a message box, so no exception leaves a handler.

#include "app/ErrorGuard.h"

#include <QApplication>

namespace parlino {

class TParlinoApplication : public QApplication {
public:
    TParlinoApplication(int& argc, char** argv);
    ~TParlinoApplication() override;
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace parlino
