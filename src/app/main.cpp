#include "app/CommandLine.h"
#include "app/ParlinoFmA.h"
#include "app/TAppServices.h"
#include "app/TParlinoApplication.h"
#include "ui/TQtEventPoster.h"
#include "ui/TQtMessageBoxes.h"
#include "ui/TShutdownSignals.h"

#include <QSessionManager>
#include <QTimer>

#include <cstdio>
#include <string>

// The start of the window: the application object, the system's services
// (TAppServices, one implementation per system) and the main window.
int main(int argc, char** argv) {
    using namespace parlino;
    if (const std::string problem = TAppServices::StartProblem(); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    TQtMessageBoxes messages;

    TParlinoApplication app(argc, argv); // takes the toolkit's own arguments out of argv
    const TCommandLine commandLine = ParseCommandLine({argv + 1, argv + argc});
    if (!commandLine.Error.empty()) {
        std::fprintf(stderr, "%s\n", commandLine.Error.c_str());
        return 2;
    }
    // Being asked to end from outside (on Linux SIGTERM, SIGINT and SIGHUP, on
    // Windows the console's close, Ctrl+C, log-off and shut-down) ends the
    // program the way File / Exit does: the main window closes and its
    // destruction saves the settings. Leaving every event loop also ends a
    // modal box that happens to be open.
    TfmParlinoA* mainWindow = nullptr;
    bool shutdownRequested = false;
    TShutdownSignals shutdownSignals([&mainWindow, &shutdownRequested] {
        shutdownRequested = true;
        if (mainWindow) mainWindow->close();
        QCoreApplication::exit(0);
    });
    TQtEventPoster poster(&app);
    TAppServices system(poster, messages);

    TfmParlinoA fmParlinoA(system.Platform(), system.Speech(), system.Players());
    mainWindow = &fmParlinoA;
    // The desktop session is ending (or may end): keep the user's choices now.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &fmParlinoA,
                     [&fmParlinoA](QSessionManager&) { fmParlinoA.SaveSettings(); });
    if (shutdownRequested) return 0; // asked to end while the window was being made
    fmParlinoA.show();
    // A file given on the command line is loaded once the window shows, so a
    // failure's message box stands over it.
    if (commandLine.FileName)
        QTimer::singleShot(0, &fmParlinoA, [&fmParlinoA, &commandLine] { fmParlinoA.OpenFile(*commandLine.FileName); });
    return app.exec();
}
