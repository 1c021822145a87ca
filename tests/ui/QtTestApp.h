#pragma once
// One QApplication on the offscreen platform for every UI test.

#include "app/TParlinoApplication.h"

#include <QApplication>

namespace parlino::test {

inline QApplication& QtApp() {
    static int argc = 1;
    static char name[] = "parlino-ui-tests";
    static char* argv[] = {name, nullptr};
    static TParlinoApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new TParlinoApplication(argc, argv);
    }();
    return *app;
}

} // namespace parlino::test
