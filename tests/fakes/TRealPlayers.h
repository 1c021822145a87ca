#pragma once
// Real players for end-to-end tests: mpv playing a silent film with its
// command socket open, optionally with the MPRIS plugin on a private session
// bus. The test starts every process it needs and stops them by process id.

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace parlino::test {

// A private session bus (dbus-daemon) whose address this process's
// DBUS_SESSION_BUS_ADDRESS points at while it lives.
class TPrivateSessionBus {
public:
    explicit TPrivateSessionBus(const std::string& folder);
    ~TPrivateSessionBus();
    TPrivateSessionBus(const TPrivateSessionBus&) = delete;
    TPrivateSessionBus& operator=(const TPrivateSessionBus&) = delete;
    const std::string& Address() const { return FAddress; }

private:
    std::string FAddress;
    pid_t FPid = -1;
    std::optional<std::string> FSaved;
};

// mpv playing `film` without video or sound output (a silent film keeps its
// clock in real time), paused at the start, listening on `socketPath`; with
// `mpris`, also published on the session bus. A second connection of its
// own logs every position mpv reports with the moment it came.
class TMpvProcess {
public:
    using TClock = std::chrono::steady_clock;
    struct TSample {
        TClock::time_point At;
        double Seconds;
    };

    TMpvProcess(const std::string& film, const std::string& socketPath, bool mpris = false);
    ~TMpvProcess();
    TMpvProcess(const TMpvProcess&) = delete;
    TMpvProcess& operator=(const TMpvProcess&) = delete;

    // Sends one JSON command line, e.g. {"command":["set_property","pause",false]}.
    void Command(const std::string& json);
    void SetPaused(bool paused);
    void Seek(double seconds);
    // Ends mpv (SIGTERM, then SIGKILL) and waits for it.
    void Quit();
    // Kills mpv at once (SIGKILL), as a crash would: its socket file stays.
    void Kill();
    // When the reported position first reached `seconds`, interpolated
    // from the last report before it; nothing when it never did.
    std::optional<TClock::time_point> WhenReached(double seconds, TClock::time_point after = {}) const;
    std::vector<TSample> Samples() const;
    // Its "volume" as it reported it (mpv's percent), and its "pause" (1 paused, 0 playing).
    std::vector<TSample> Volumes() const;
    std::vector<TSample> Pauses() const;

private:
    void Observe();

    std::string FSocketPath;
    pid_t FPid = -1;
    int FControl = -1;
    bool FStop = false;
    mutable std::mutex FMutex;
    std::vector<TSample> FSamples, FVolumes, FPauses;
    std::thread FObserver;
};

// A silent mono WAV of `seconds` in `path`, made with sox.
void MakeSilentFilm(const std::string& path, int seconds);

} // namespace parlino::test
