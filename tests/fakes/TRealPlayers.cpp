#include "fakes/TRealPlayers.h"

#include "fakes/TPrivatePulseServer.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace parlino::test {
namespace {

using namespace std::chrono_literals;

int ConnectUnix(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return -1;
    path.copy(address.sun_path, path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    if (fd >= 0) close(fd);
    return -1;
}

void SendAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0 && errno != EINTR) return;
        if (n > 0) done += static_cast<size_t>(n);
    }
}

} // namespace

TPrivateSessionBus::TPrivateSessionBus(const std::string& folder) {
    const std::string socket = folder + "/bus";
    std::filesystem::remove(socket);
    FAddress = "unix:path=" + socket;
    FPid = SpawnChild({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + FAddress},
                      TPrivatePulseServer::Environment(), folder + "/dbus.log");
    for (int i = 0; i < 500 && !std::filesystem::exists(socket); ++i) std::this_thread::sleep_for(10ms);
    if (FPid < 0 || !std::filesystem::exists(socket)) throw std::runtime_error("dbus-daemon did not start");
    if (const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS")) FSaved = old;
    setenv("DBUS_SESSION_BUS_ADDRESS", FAddress.c_str(), 1);
}

TPrivateSessionBus::~TPrivateSessionBus() {
    StopChild(FPid);
    if (FSaved) setenv("DBUS_SESSION_BUS_ADDRESS", FSaved->c_str(), 1);
    else unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

void MakeSilentFilm(const std::string& path, int seconds) {
    const std::string command =
        "sox -q -n -r 8000 -c 1 '" + path + "' trim 0 " + std::to_string(seconds) + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("sox could not make " + path);
}

TMpvProcess::TMpvProcess(const std::string& film, const std::string& socketPath, bool mpris)
    : FSocketPath(socketPath) {
    std::filesystem::remove(socketPath);
    std::vector<std::string> arguments{"mpv", "--no-config", "--vo=null", "--ao=null", "--pause",
                                       "--keep-open=yes", "--input-ipc-server=" + socketPath};
    if (mpris) arguments.push_back("--script=/usr/lib/mpv-mpris/mpris.so");
    arguments.push_back(film);
    FPid = SpawnChild(arguments, TPrivatePulseServer::Environment(), socketPath + ".log");
    for (int i = 0; i < 500 && FControl < 0; ++i) {
        FControl = ConnectUnix(socketPath);
        if (FControl < 0) std::this_thread::sleep_for(10ms);
    }
    if (FPid < 0 || FControl < 0) throw std::runtime_error("mpv did not open its socket");
    SendAll(FControl, R"({"command":["observe_property",1,"time-pos"]})"
                      "\n"
                      R"({"command":["observe_property",2,"volume"]})"
                      "\n"
                      R"({"command":["observe_property",3,"pause"]})"
                      "\n");
    FObserver = std::thread([this] { Observe(); });
    // Wait until the film is loaded and its position known.
    for (int i = 0; i < 500 && Samples().empty(); ++i) std::this_thread::sleep_for(10ms);
    if (Samples().empty()) throw std::runtime_error("mpv did not load the film");
}

TMpvProcess::~TMpvProcess() { Quit(); }

void TMpvProcess::Observe() {
    std::string buffer;
    char chunk[4096];
    for (;;) {
        {
            std::lock_guard lock(FMutex);
            if (FStop) return;
        }
        pollfd p{FControl, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = recv(FControl, chunk, sizeof chunk, 0);
        if (n <= 0) return;
        const auto now = TClock::now();
        buffer.append(chunk, static_cast<size_t>(n));
        for (size_t end; (end = buffer.find('\n')) != std::string::npos; buffer.erase(0, end + 1)) {
            const auto message = nlohmann::json::parse(buffer.substr(0, end), nullptr, false);
            if (!message.is_object() || message.value("event", "") != "property-change") continue;
            const std::string name = message.value("name", "");
            const nlohmann::json data = message.value("data", nlohmann::json());
            std::lock_guard lock(FMutex);
            if (name == "time-pos" && data.is_number()) FSamples.push_back({now, data.get<double>()});
            else if (name == "volume" && data.is_number()) FVolumes.push_back({now, data.get<double>()});
            else if (name == "pause" && data.is_boolean()) FPauses.push_back({now, data.get<bool>() ? 1.0 : 0.0});
        }
    }
}

void TMpvProcess::Command(const std::string& json) {
    if (FControl >= 0) SendAll(FControl, json + "\n");
}

void TMpvProcess::SetPaused(bool paused) {
    Command(std::string(R"({"command":["set_property","pause",)") + (paused ? "true" : "false") + "]}");
}

void TMpvProcess::Seek(double seconds) {
    Command(R"({"command":["seek",)" + std::to_string(seconds) + R"(,"absolute"]})");
}

void TMpvProcess::Kill() {
    if (FPid > 0) {
        ::kill(FPid, SIGKILL);
        WaitChild(FPid, std::chrono::seconds(5));
    }
    FPid = -1;
    Quit();
}

void TMpvProcess::Quit() {
    if (FPid > 0) StopChild(FPid);
    FPid = -1;
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    if (FObserver.joinable()) FObserver.join();
    if (FControl >= 0) close(FControl);
    FControl = -1;
}

std::vector<TMpvProcess::TSample> TMpvProcess::Samples() const {
    std::lock_guard lock(FMutex);
    return FSamples;
}

std::vector<TMpvProcess::TSample> TMpvProcess::Volumes() const {
    std::lock_guard lock(FMutex);
    return FVolumes;
}

std::vector<TMpvProcess::TSample> TMpvProcess::Pauses() const {
    std::lock_guard lock(FMutex);
    return FPauses;
}

std::optional<TMpvProcess::TClock::time_point> TMpvProcess::WhenReached(double seconds, TClock::time_point after) const {
    const std::vector<TSample> samples = Samples();
    for (size_t i = 0; i < samples.size(); ++i) {
        if (samples[i].At < after || samples[i].Seconds < seconds) continue;
        if (i == 0 || samples[i - 1].At < after || samples[i - 1].Seconds > seconds) return samples[i].At;
        const TSample& before = samples[i - 1];
        return before.At + std::chrono::duration_cast<TClock::duration>(
                               std::chrono::duration<double>(seconds - before.Seconds));
    }
    return std::nullopt;
}

} // namespace parlino::test
