#include "ui/TShutdownSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace parlino {
namespace {

int Pipe[2] = {-1, -1}; // [0] read by the event loop, [1] written by the handler
constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(Pipe[1], &byte, 1); // a full pipe already holds a request
    errno = saved;
}

} // namespace

TShutdownSignals::TShutdownSignals(std::function<void()> shutdown, QObject* parent)
    : QObject(parent), FShutdown(std::move(shutdown)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, Pipe) != 0)
        return;
    FNotifier = std::make_unique<QSocketNotifier>(Pipe[0], QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, [this] { Drain(); });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : Signals)
        ::sigaction(signal, &action, nullptr);
}

TShutdownSignals::~TShutdownSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : Signals)
        ::sigaction(signal, &action, nullptr);
    FNotifier.reset();
    for (int& fd : Pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TShutdownSignals::Drain() {
    char buffer[64];
    ssize_t n;
    int requests = 0;
    while ((n = ::read(Pipe[0], buffer, sizeof buffer)) > 0)
        requests += static_cast<int>(n);
    if (requests > 0 && FShutdown)
        FShutdown();
}

} // namespace parlino
