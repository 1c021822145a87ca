#pragma once
// A private sound server for end-to-end tests: a PulseAudio daemon of its own
// (own runtime folder and socket) with two null sinks, "test" (described
// "Test", the default) and "test_b" ("TestB"), and recordings of their
// monitors, so that a test can see what really reached a sink and when.
//
// Constructing it points this process at the server (PULSE_SERVER,
// PULSE_RUNTIME_PATH, PULSE_STATE_PATH); create it before any audio output and
// destroy it after them. The destructor stops the recorders and the server by
// their process ids; the children are also bound to die with this process
// (parent-death signal), so a crashing test leaves none behind. Set
// PARLINO_KEEP_PULSE_DIR=1 to keep the runtime folder (logs, recordings).

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace parlino::test {

// One parecord process writing a sink's monitor to a 16-bit mono WAV file at
// Rate. The recording runs on the server's real-time clock without gaps, so
// every sample has a time: the moment it is due to be heard. The sink mixes
// each block of RenderAheadMs (the recorder's latency, which sets the sink's)
// before it is due, and the recorder gets it then; so the time of sample 0 is
// the earliest one consistent with every observation of the file's growth,
// plus RenderAheadMs. Times are good to a few milliseconds.
class TMonitorRecording {
public:
    using TClock = std::chrono::steady_clock;
    static constexpr int Rate = 22050;
    // Samples at or above this magnitude count as sound.
    static constexpr int SoundThreshold = 1000;
    static constexpr int RenderAheadMs = 5;

    TMonitorRecording(const std::string& sink, const std::string& wavPath,
                      const std::vector<std::string>& environment);
    ~TMonitorRecording();
    TMonitorRecording(const TMonitorRecording&) = delete;
    TMonitorRecording& operator=(const TMonitorRecording&) = delete;

    const std::string& Sink() const { return FSink; }
    const std::string& Path() const { return FPath; }
    // Ends the recorder (the file stays readable).
    void Stop();

    // Everything recorded so far.
    std::vector<int16_t> Samples() const;
    size_t SampleCount() const;
    TClock::time_point TimeOfSample(size_t index) const;
    size_t SampleAt(TClock::time_point time) const;
    // Waits until the recording holds everything up to `time`; false when it
    // did not within `timeout` (the recorder died, say).
    bool WaitUntilRecorded(TClock::time_point time,
                           std::chrono::milliseconds timeout = std::chrono::seconds(3)) const;

    // The first and the last sample of [from, to) at or above `threshold`.
    std::optional<TClock::time_point> FirstSound(TClock::time_point from, TClock::time_point to,
                                                 int threshold = SoundThreshold) const;
    std::optional<TClock::time_point> LastSound(TClock::time_point from, TClock::time_point to,
                                                int threshold = SoundThreshold) const;
    // How long [from, to) holds sound, counted in 5 ms windows with a sample
    // at or above `threshold`.
    double SoundMs(TClock::time_point from, TClock::time_point to,
                   int threshold = SoundThreshold) const;

private:
    void Watch();
    size_t DataOffset() const;

    std::string FSink, FPath;
    pid_t FPid = -1;
    mutable std::mutex FMutex;     // guards FOriginNs, FSeen, FStopWatch
    int64_t FOriginNs = INT64_MAX; // estimated steady-clock time of sample 0
    bool FSeen = false;
    bool FStopWatch = false;
    std::thread FWatcher;
};

class TPrivatePulseServer {
public:
    using TClock = std::chrono::steady_clock;
    static inline const std::vector<std::string> SinkNames{"test", "test_b"};
    static inline const std::vector<std::string> SinkDescriptions{"Test", "TestB"};

    // Starts the server and waits until it answers; throws std::runtime_error
    // when it does not within 10 seconds.
    TPrivatePulseServer();
    ~TPrivatePulseServer();
    TPrivatePulseServer(const TPrivatePulseServer&) = delete;
    TPrivatePulseServer& operator=(const TPrivatePulseServer&) = delete;

    // Starts the server again after Kill or Stop, on the same address.
    void Start();
    // Kills the server with SIGKILL, as a crash would; its recorders end too.
    void Kill();
    // Ends the server normally.
    void Stop();
    bool Running() const { return FServerPid > 0; }
    // Stops the server with SIGSTOP, as a hung server: its socket stays open
    // and takes connections, but nothing answers. Continue wakes it up.
    void Hang();
    void Continue();
    bool Hung() const { return FHung; }

    const std::string& RuntimeDir() const { return FRuntimeDir; }
    // The address clients use, "unix:<runtime folder>/native".
    const std::string& ServerAddress() const { return FAddress; }

    // Starts recording the monitor of `sink` and returns once the first audio
    // has arrived. The recording lives until StopRecordings or the server's end.
    TMonitorRecording& Record(const std::string& sink);
    void StopRecordings();

    // Runs pactl against the server; its exit code (-1 when it hung).
    int Pactl(const std::vector<std::string>& arguments, const std::string& outputPath = {}) const;
    // A device plugged in: a null sink `name` described `description` (which
    // may hold blanks, not quotes); returns
    // its module's index for UnloadModule (a device unplugged), -1 on failure.
    int LoadNullSink(const std::string& name, const std::string& description) const;
    bool UnloadModule(int module) const;

    // The environment of this process, as the children get it.
    static std::vector<std::string> Environment();
    // Sets "NAME=value" in `environment`, replacing an entry of that name (a
    // child reads the first of two entries of one name).
    static void SetVariable(std::vector<std::string>& environment, const std::string& assignment);

private:
    std::string FRuntimeDir, FAddress;
    pid_t FServerPid = -1;
    bool FHung = false;
    int FStarts = 0;
    int FRecordings = 0;
    std::vector<std::unique_ptr<TMonitorRecording>> FRecorders;
    std::vector<std::pair<std::string, std::optional<std::string>>> FSavedEnv;
};

// Child processes of the tests. Spawn starts `arguments` (the program looked
// up in PATH) with `environment`, stdin from /dev/null and stdout and stderr
// into `logPath` (or /dev/null); the child gets SIGKILL when this process
// ends. Returns the process id, or -1.
pid_t SpawnChild(const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment, const std::string& logPath = {});
// Waits up to `timeout` for the child to end; its wait status, or nothing.
std::optional<int> WaitChild(pid_t pid, std::chrono::milliseconds timeout);
// SIGTERM, then after `grace` SIGKILL; always reaps the child.
void StopChild(pid_t pid, std::chrono::milliseconds grace = std::chrono::seconds(2));

} // namespace parlino::test
