#include "fakes/TPrivatePulseServer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace parlino::test {

namespace {

using namespace std::chrono_literals;

std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return name;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return name;
}

int64_t SteadyNs(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

off_t FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

} // namespace

pid_t SpawnChild(const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment, const std::string& logPath) {
    // Everything the child needs is prepared here: after fork only
    // async-signal-safe calls are allowed.
    const std::string program = FindProgram(arguments.at(0));
    std::vector<char*> argv, envp;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const int log = open(logPath.empty() ? "/dev/null" : logPath.c_str(),
                         O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(126);
        if (null >= 0)
            dup2(null, 0);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    if (log >= 0)
        close(log);
    if (null >= 0)
        close(null);
    return pid;
}

std::optional<int> WaitChild(pid_t pid, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return status;
        if (r < 0 && errno != EINTR)
            return 0; // not our child any more
        if (std::chrono::steady_clock::now() >= until)
            return std::nullopt;
        std::this_thread::sleep_for(2ms);
    }
}

void StopChild(pid_t pid, std::chrono::milliseconds grace) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    if (WaitChild(pid, grace))
        return;
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// ---- TMonitorRecording ----

TMonitorRecording::TMonitorRecording(const std::string& sink, const std::string& wavPath,
                                     const std::vector<std::string>& environment)
    : FSink(sink), FPath(wavPath) {
    std::filesystem::remove(FPath);
    // A short recording latency makes the file grow in small steps, which
    // both keeps the tests quick and pins down the time of sample 0.
    FPid = SpawnChild({"parecord", "--device=" + sink + ".monitor", "--file-format=wav",
                       "--rate=" + std::to_string(Rate), "--channels=1", "--format=s16le",
                       "--latency-msec=5", FPath},
                      environment, FPath + ".log");
    if (FPid < 0)
        throw std::runtime_error("cannot start parecord");
    FWatcher = std::thread([this] { Watch(); });
}

TMonitorRecording::~TMonitorRecording() {
    Stop();
    {
        std::lock_guard lock(FMutex);
        FStopWatch = true;
    }
    FWatcher.join();
}

void TMonitorRecording::Stop() {
    if (FPid > 0)
        StopChild(FPid);
    FPid = -1;
}

size_t TMonitorRecording::DataOffset() const {
    // Walk the RIFF chunks to "data"; 44 for the usual header.
    std::ifstream in(FPath, std::ios::binary);
    char head[12];
    if (!in.read(head, 12) || std::memcmp(head, "RIFF", 4) != 0)
        return 44;
    size_t offset = 12;
    for (int i = 0; i < 16; ++i) {
        char chunk[8];
        if (!in.read(chunk, 8))
            return 44;
        uint32_t size = 0;
        std::memcpy(&size, chunk + 4, 4);
        if (std::memcmp(chunk, "data", 4) == 0)
            return offset + 8;
        offset += 8 + size + (size & 1);
        in.seekg(static_cast<std::streamoff>(offset));
    }
    return 44;
}

void TMonitorRecording::Watch() {
    // Every observation (time T, n samples on file) says sample 0 was mixed
    // no later than T - n/Rate; the earliest such bound is the best.
    for (;;) {
        const auto now = TClock::now();
        const off_t size = FileSize(FPath);
        {
            std::lock_guard lock(FMutex);
            if (FStopWatch)
                return;
            if (size > 44) {
                const int64_t samples = (size - 44) / 2;
                const int64_t origin = SteadyNs(now) - samples * 1'000'000'000 / Rate +
                                       int64_t{RenderAheadMs} * 1'000'000;
                FOriginNs = std::min(FOriginNs, origin);
                FSeen = true;
            }
        }
        std::this_thread::sleep_for(500us);
    }
}

std::vector<int16_t> TMonitorRecording::Samples() const {
    const size_t offset = DataOffset();
    std::ifstream in(FPath, std::ios::binary);
    in.seekg(0, std::ios::end);
    const auto size = static_cast<size_t>(std::max<std::streamoff>(0, in.tellg()));
    std::vector<int16_t> samples(size > offset ? (size - offset) / 2 : 0);
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(samples.data()),
            static_cast<std::streamsize>(samples.size() * 2));
    samples.resize(static_cast<size_t>(std::max<std::streamsize>(0, in.gcount())) / 2);
    return samples;
}

size_t TMonitorRecording::SampleCount() const {
    const off_t size = FileSize(FPath);
    const auto offset = static_cast<off_t>(DataOffset());
    return size > offset ? static_cast<size_t>(size - offset) / 2 : 0;
}

TMonitorRecording::TClock::time_point TMonitorRecording::TimeOfSample(size_t index) const {
    std::lock_guard lock(FMutex);
    const int64_t origin = FSeen ? FOriginNs : SteadyNs(TClock::now());
    return TClock::time_point(
        std::chrono::nanoseconds(origin + static_cast<int64_t>(index) * 1'000'000'000 / Rate));
}

size_t TMonitorRecording::SampleAt(TClock::time_point time) const {
    std::lock_guard lock(FMutex);
    if (!FSeen)
        return 0;
    const int64_t since = SteadyNs(time) - FOriginNs;
    return since <= 0 ? 0 : static_cast<size_t>(since * Rate / 1'000'000'000);
}

bool TMonitorRecording::WaitUntilRecorded(TClock::time_point time,
                                          std::chrono::milliseconds timeout) const {
    const auto until = TClock::now() + timeout;
    const auto seen = [this] {
        std::lock_guard lock(FMutex);
        return FSeen;
    };
    while (!seen() || SampleCount() <= SampleAt(time)) {
        if (TClock::now() >= until)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

std::optional<TMonitorRecording::TClock::time_point>
TMonitorRecording::FirstSound(TClock::time_point from, TClock::time_point to, int threshold) const {
    const std::vector<int16_t> samples = Samples();
    const size_t end = std::min(samples.size(), SampleAt(to));
    for (size_t i = SampleAt(from); i < end; ++i)
        if (std::abs(static_cast<int>(samples[i])) >= threshold)
            return TimeOfSample(i);
    return std::nullopt;
}

std::optional<TMonitorRecording::TClock::time_point>
TMonitorRecording::LastSound(TClock::time_point from, TClock::time_point to, int threshold) const {
    const std::vector<int16_t> samples = Samples();
    const size_t begin = SampleAt(from);
    for (size_t i = std::min(samples.size(), SampleAt(to)); i > begin; --i)
        if (std::abs(static_cast<int>(samples[i - 1])) >= threshold)
            return TimeOfSample(i - 1);
    return std::nullopt;
}

double TMonitorRecording::SoundMs(TClock::time_point from, TClock::time_point to,
                                  int threshold) const {
    const std::vector<int16_t> samples = Samples();
    constexpr size_t Window = Rate / 200;
    const size_t end = std::min(samples.size(), SampleAt(to));
    int windows = 0;
    for (size_t w = SampleAt(from); w + Window <= end; w += Window) {
        bool loud = false;
        for (size_t i = w; i < w + Window && !loud; ++i)
            loud = std::abs(static_cast<int>(samples[i])) >= threshold;
        windows += loud ? 1 : 0;
    }
    return windows * 5.0;
}

// ---- TPrivatePulseServer ----

std::vector<std::string> TPrivatePulseServer::Environment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        env.emplace_back(*e);
    return env;
}

void TPrivatePulseServer::SetVariable(std::vector<std::string>& environment, const std::string& assignment) {
    const std::string name = assignment.substr(0, assignment.find('=') + 1);
    std::erase_if(environment, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
    environment.push_back(assignment);
}

TPrivatePulseServer::TPrivatePulseServer() {
    char pattern[] = "/tmp/parlino-pulse-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("cannot create a runtime folder for the sound server");
    FRuntimeDir = pattern;
    FAddress = "unix:" + FRuntimeDir + "/native";
    const std::pair<const char*, std::string> vars[] = {
        {"PULSE_RUNTIME_PATH", FRuntimeDir},
        {"PULSE_STATE_PATH", FRuntimeDir + "/state"},
        {"PULSE_SERVER", FAddress}};
    for (const auto& [name, value] : vars) {
        const char* old = std::getenv(name);
        FSavedEnv.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name, value.c_str(), 1);
    }
    try {
        Start();
    } catch (...) {
        Stop();
        throw;
    }
}

TPrivatePulseServer::~TPrivatePulseServer() {
    StopRecordings();
    Stop();
    for (const auto& [name, value] : FSavedEnv) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    const char* keep = std::getenv("PARLINO_KEEP_PULSE_DIR");
    if (!keep || std::string(keep) != "1") {
        std::error_code ignored;
        std::filesystem::remove_all(FRuntimeDir, ignored);
    }
}

void TPrivatePulseServer::Start() {
    if (Running())
        return;
    ++FStarts;
    const std::string log = FRuntimeDir + "/pa-" + std::to_string(FStarts) + ".log";
    FServerPid = SpawnChild({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                             "--log-target=file:" + log, "--load=module-native-protocol-unix",
                             "--load=module-null-sink sink_name=test norewinds=1 "
                             "sink_properties=device.description=Test",
                             "--load=module-null-sink sink_name=test_b norewinds=1 "
                             "sink_properties=device.description=TestB"},
                            Environment(), FRuntimeDir + "/pa-" + std::to_string(FStarts) + ".out");
    if (FServerPid < 0)
        throw std::runtime_error("cannot start pulseaudio");
    const auto until = TClock::now() + 10s;
    while (Pactl({"info"}) != 0) {
        if (WaitChild(FServerPid, 0ms)) {
            FServerPid = -1;
            throw std::runtime_error("pulseaudio ended at start; see " + log);
        }
        if (TClock::now() >= until)
            throw std::runtime_error("pulseaudio does not answer; see " + log);
        std::this_thread::sleep_for(20ms);
    }
    Pactl({"set-default-sink", "test"});
}

void TPrivatePulseServer::Kill() {
    if (!Running())
        return;
    kill(FServerPid, SIGKILL);
    WaitChild(FServerPid, 5s);
    FServerPid = -1;
    FHung = false;
}

void TPrivatePulseServer::Stop() {
    Continue(); // a stopped process takes no SIGTERM
    StopChild(FServerPid);
    FServerPid = -1;
}

void TPrivatePulseServer::Hang() {
    if (!Running() || FHung)
        return;
    kill(FServerPid, SIGSTOP);
    FHung = true;
}

void TPrivatePulseServer::Continue() {
    if (!Running() || !FHung)
        return;
    kill(FServerPid, SIGCONT);
    FHung = false;
}

TMonitorRecording& TPrivatePulseServer::Record(const std::string& sink) {
    const std::string path =
        FRuntimeDir + "/" + sink + "-" + std::to_string(++FRecordings) + ".wav";
    FRecorders.push_back(std::make_unique<TMonitorRecording>(sink, path, Environment()));
    TMonitorRecording& recording = *FRecorders.back();
    // Return once audio flows, so that what the test plays next is on file.
    const auto until = TClock::now() + 5s;
    while (recording.SampleCount() < TMonitorRecording::Rate / 50) {
        if (TClock::now() >= until)
            throw std::runtime_error("the recording of " + sink + " does not start");
        std::this_thread::sleep_for(5ms);
    }
    return recording;
}

void TPrivatePulseServer::StopRecordings() {
    FRecorders.clear();
}

int TPrivatePulseServer::Pactl(const std::vector<std::string>& arguments, const std::string& outputPath) const {
    std::vector<std::string> argv{"pactl"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const pid_t pid = SpawnChild(argv, Environment(), outputPath);
    if (pid < 0)
        return -1;
    const std::optional<int> status = WaitChild(pid, 5s);
    if (!status) {
        StopChild(pid, 100ms);
        return -1;
    }
    return WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

int TPrivatePulseServer::LoadNullSink(const std::string& name, const std::string& description) const {
    // pactl prints the new module's index.
    const std::string out = FRuntimeDir + "/load-" + name + ".out";
    std::filesystem::remove(out);
    const int status = Pactl({"load-module", "module-null-sink", "sink_name=" + name, "norewinds=1",
                              // Quoted twice, for the module's arguments and for the
                              // property list, so that a description may hold blanks.
                              "sink_properties=\"device.description='" + description + "'\""},
                             out);
    std::ifstream in(out);
    int module = -1;
    return status == 0 && (in >> module) ? module : -1;
}

bool TPrivatePulseServer::UnloadModule(int module) const {
    return Pactl({"unload-module", std::to_string(module)}) == 0;
}

} // namespace parlino::test
