#include "app/ParlinoFmA.h"
#include "app/TParlinoApplication.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TLinuxLocaleInfo.h"
#include "platform/linux/TMonotonicTickCounter.h"
#include "platform/linux/TXdgFolders.h"
#include "platform/linux/TXdgShell.h"
#include "ui/TQtEventPoster.h"

#include <cstdio>
#include <cstdlib>

// The composition root: the real platform services, the application object
// and the main window.
int main(int argc, char** argv) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!platform || !*platform) && (!display || !*display) && (!wayland || !*wayland)) {
        std::fprintf(stderr, "parlino: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n");
        return 1;
    }
    using namespace parlino;
    TIconvCodec codec;
    TLinuxLocaleInfo locale;
    TMonotonicTickCounter ticks;
    TXdgFolders folders;
    TXdgShell shell;
    TPlatform services{codec, locale, ticks, folders, shell};

    TParlinoApplication app(argc, argv);
    TQtEventPoster poster(&app);
    TSpeechEnvironment speech{{}, poster, nullptr};
    TfmParlinoA fmParlinoA(services, speech);
    fmParlinoA.show();
    return app.exec();
}
