// The audio output layer against a private sound server whose sinks'
// monitors are recorded: what was played is checked in the recordings.

#include "fakes/TPrivatePulseServer.h"
#include "platform/Exceptions.h"
#include "platform/linux/TPulseAudioOutput.h"
#include "platform/linux/TPulseWaveOut.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using TClock = std::chrono::steady_clock;

namespace {

constexpr int Rate = 22050;

std::vector<int16_t> Tone(int ms, int channels = 1) {
    const size_t frames = static_cast<size_t>(Rate) * static_cast<size_t>(ms) / 1000;
    std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<int16_t>(12000 *
                                     std::sin(2 * M_PI * 440.0 * static_cast<double>(i) / Rate));
    return samples;
}

std::vector<int16_t> Silence(int ms) {
    return std::vector<int16_t>(static_cast<size_t>(Rate * ms / 1000), 0);
}

void Write(IAudioStream& stream, const std::vector<int16_t>& samples) {
    stream.Write(samples.data(), samples.size());
}

double Ms(TClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A stream's events with the time each arrived.
struct TEventLog {
    std::mutex Mutex;
    std::condition_variable Changed;
    std::vector<std::pair<uint64_t, TClock::time_point>> Marks;
    std::optional<TClock::time_point> Drained, Failed;
    int DrainCount = 0, FailCount = 0;
    std::string Reason;

    TAudioStreamEvents Events() {
        return {[this](uint64_t mark) {
                    std::lock_guard lock(Mutex);
                    Marks.emplace_back(mark, TClock::now());
                    Changed.notify_all();
                },
                [this] {
                    std::lock_guard lock(Mutex);
                    Drained = TClock::now();
                    ++DrainCount;
                    Changed.notify_all();
                },
                [this](const std::string& reason) {
                    std::lock_guard lock(Mutex);
                    Failed = TClock::now();
                    ++FailCount;
                    Reason = reason;
                    Changed.notify_all();
                }};
    }
    bool WaitDrained(std::chrono::milliseconds timeout = 5s) {
        std::unique_lock lock(Mutex);
        return Changed.wait_for(lock, timeout, [this] { return Drained.has_value(); });
    }
    bool WaitFailed(std::chrono::milliseconds timeout = 5s) {
        std::unique_lock lock(Mutex);
        return Changed.wait_for(lock, timeout, [this] { return Failed.has_value(); });
    }
};

// Sets an environment variable for one scope.
class TEnv {
public:
    TEnv(const char* name, const std::string& value) : FName(name) {
        if (const char* old = std::getenv(name))
            FOld = old;
        setenv(name, value.c_str(), 1);
    }
    ~TEnv() {
        if (FOld)
            setenv(FName, FOld->c_str(), 1);
        else
            unsetenv(FName);
    }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

struct TFigures {
    std::vector<double> Values;
    double Median() {
        std::sort(Values.begin(), Values.end());
        return Values.empty() ? 0 : Values[Values.size() / 2];
    }
    double P95() {
        std::sort(Values.begin(), Values.end());
        return Values.empty() ? 0
                              : Values[static_cast<size_t>(
                                           std::ceil(0.95 * static_cast<double>(Values.size()))) -
                                       1];
    }
    double Max() { return Values.empty() ? 0 : *std::max_element(Values.begin(), Values.end()); }
};

class PulseAudioOutputE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_THROW(Server = std::make_unique<TPrivatePulseServer>());
        Output = std::make_unique<TPulseAudioOutput>("parlino-e2e");
    }
    void TearDown() override {
        Output.reset();
        Server.reset();
    }
    std::unique_ptr<TPrivatePulseServer> Server;
    std::unique_ptr<TPulseAudioOutput> Output;
};

} // namespace

TEST_F(PulseAudioOutputE2E, ListsTheServersSinksInItsOrder) {
    EXPECT_THAT(Output->OutputDevices(), ElementsAre("Test", "TestB"));

    // The wave-out numbers are the same devices.
    TPulseWaveOut waveOut(*Output);
    ASSERT_EQ(waveOut.WaveOutGetNumDevs(), 2u);
    TWaveOutCapsA caps{};
    ASSERT_EQ(waveOut.WaveOutGetDevCapsA(1, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.ProductName, "TestB");
    ASSERT_EQ(waveOut.WaveOutGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.ProductName, TPulseWaveOut::MapperName);

    TEventLog log;
    EXPECT_THROW(Output->OpenStream(2, {Rate, 1}, log.Events()), EParlinoError);
}

TEST_F(PulseAudioOutputE2E, DevicesPluggedInOrOutAndTheServersLossAreReported) {
    // The first reading of the list, which is news too, is over before the handler is set.
    ASSERT_THAT(Output->OutputDevices(), ElementsAre("Test", "TestB"));
    std::mutex mutex;
    std::condition_variable changed;
    int changes = 0;
    Output->SetOnDevicesChanged([&] {
        std::lock_guard lock(mutex);
        ++changes;
        changed.notify_all();
    });
    // Waits for news after `seen` changes; the number of changes then.
    auto waitForNews = [&](int seen) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, 3s, [&] { return changes > seen; });
        return changes;
    };
    int seen = 0;
    const int module = Server->LoadNullSink("test_c", "TestC");
    ASSERT_GE(module, 0);
    seen = waitForNews(seen);
    ASSERT_GT(seen, 0) << "no news of a sink added";
    EXPECT_THAT(Output->OutputDevices(), ElementsAre("Test", "TestB", "TestC"));
    ASSERT_TRUE(Server->UnloadModule(module));
    const int before = seen;
    seen = waitForNews(seen);
    ASSERT_GT(seen, before) << "no news of a sink removed";
    EXPECT_THAT(Output->OutputDevices(), ElementsAre("Test", "TestB"));

    // The server's loss takes every device; its return (seen at the next use) brings them back.
    Server->Kill();
    const int beforeLoss = seen;
    seen = waitForNews(seen);
    EXPECT_GT(seen, beforeLoss) << "no news of the server's loss";
    Server->Start();
    const auto until = TClock::now() + 3s;
    while (Output->OutputDevices().empty() && TClock::now() < until)
        std::this_thread::sleep_for(20ms);
    const int beforeReturn = seen;
    EXPECT_GT(waitForNews(seen), beforeReturn) << "no news of the server's return";

    // No news reaches a handler that was taken back.
    Output->SetOnDevicesChanged(nullptr);
    int after;
    {
        std::lock_guard lock(mutex);
        after = changes;
    }
    const int again = Server->LoadNullSink("test_d", "TestD");
    ASSERT_GE(again, 0);
    std::this_thread::sleep_for(300ms);
    std::lock_guard lock(mutex);
    EXPECT_EQ(changes, after);
}

TEST_F(PulseAudioOutputE2E, AudioIsHeardOnTheChosenSinkAndNotOnTheOther) {
    TMonitorRecording& onTest = Server->Record("test");
    TMonitorRecording& onTestB = Server->Record("test_b");
    // Device 1 is "test_b", device 0 and the default are "test".
    for (const int device : {1, 0, -1}) {
        SCOPED_TRACE("device " + std::to_string(device));
        TEventLog log;
        auto stream = Output->OpenStream(device, {Rate, 1}, log.Events());
        const auto start = TClock::now();
        Write(*stream, Tone(300));
        stream->Drain();
        ASSERT_TRUE(log.WaitDrained());
        const auto end = TClock::now() + 50ms;
        ASSERT_TRUE(onTest.WaitUntilRecorded(end));
        ASSERT_TRUE(onTestB.WaitUntilRecorded(end));
        TMonitorRecording& heard = device == 1 ? onTestB : onTest;
        TMonitorRecording& silent = device == 1 ? onTest : onTestB;
        EXPECT_NEAR(heard.SoundMs(start - 20ms, end), 300, 30);
        EXPECT_FALSE(silent.FirstSound(start - 20ms, end).has_value());
        EXPECT_EQ(stream->PlayedFrames(), static_cast<uint64_t>(Rate * 300 / 1000));
    }
}

TEST_F(PulseAudioOutputE2E, PlayToSoundLatency) {
    TMonitorRecording& recording = Server->Record("test");
    constexpr int Runs = 20;
    std::vector<TClock::time_point> opened, written;
    std::vector<TClock::duration> openTimes;
    TFigures drainAfterSound;
    std::vector<TClock::time_point> drained;
    for (int run = 0; run < Runs; ++run) {
        TEventLog log;
        const auto open = TClock::now();
        auto stream = Output->OpenStream(0, {Rate, 1}, log.Events());
        const auto write = TClock::now();
        Write(*stream, Tone(100));
        stream->Drain();
        ASSERT_TRUE(log.WaitDrained());
        opened.push_back(open);
        written.push_back(write);
        drained.push_back(*log.Drained);
        stream.reset();
        std::this_thread::sleep_for(40ms);
    }
    ASSERT_TRUE(recording.WaitUntilRecorded(TClock::now()));
    TFigures fromWrite, fromOpen;
    for (int run = 0; run < Runs; ++run) {
        // Search from a little before the write: times are good to a few
        // milliseconds only, and the runs are 40 ms apart.
        const auto first = recording.FirstSound(written[static_cast<size_t>(run)] - 20ms,
                                                written[static_cast<size_t>(run)] + 1s);
        ASSERT_TRUE(first.has_value()) << "run " << run << " was not heard";
        const auto last = recording.LastSound(*first, *first + 120ms); // the tone lasts 100 ms
        fromWrite.Values.push_back(Ms(*first - written[static_cast<size_t>(run)]));
        fromOpen.Values.push_back(Ms(*first - opened[static_cast<size_t>(run)]));
        drainAfterSound.Values.push_back(Ms(drained[static_cast<size_t>(run)] - *last));
    }
    std::printf("[ figures  ] play-to-sound from Write: median %.1f ms, p95 %.1f ms, max %.1f ms "
                "(%d runs)\n",
                fromWrite.Median(), fromWrite.P95(), fromWrite.Max(), Runs);
    std::printf("[ figures  ] play-to-sound from OpenStream: median %.1f ms, p95 %.1f ms\n",
                fromOpen.Median(), fromOpen.P95());
    std::printf("[ figures  ] OnDrained after the last sound: median %.1f ms, p95 %.1f ms\n",
                drainAfterSound.Median(), drainAfterSound.P95());
}

TEST_F(PulseAudioOutputE2E, PauseSilencesAndResumeContinuesWhereItStopped) {
    TMonitorRecording& recording = Server->Record("test");
    TEventLog log;
    auto stream = Output->OpenStream(0, {Rate, 1}, log.Events());
    const auto start = TClock::now();
    Write(*stream, Tone(1000));
    stream->Drain();
    std::this_thread::sleep_for(300ms);

    const auto paused = TClock::now();
    stream->Pause();
    EXPECT_TRUE(stream->IsPaused());
    std::this_thread::sleep_for(50ms);
    const uint64_t atPause = stream->PlayedFrames();
    std::this_thread::sleep_for(350ms);
    EXPECT_EQ(stream->PlayedFrames(), atPause);
    EXPECT_FALSE(log.Drained.has_value());

    const auto resumed = TClock::now();
    stream->Resume();
    EXPECT_FALSE(stream->IsPaused());
    ASSERT_TRUE(log.WaitDrained());
    const auto end = TClock::now() + 50ms;
    ASSERT_TRUE(recording.WaitUntilRecorded(end));

    // The pause lasts 400 ms; its middle parts what came before and after.
    const auto lastBeforePause = recording.LastSound(start - 20ms, paused + 200ms);
    const auto firstAfterResume = recording.FirstSound(paused + 200ms, end);
    EXPECT_FALSE(recording.FirstSound(paused + 50ms, resumed - 20ms).has_value());
    ASSERT_TRUE(lastBeforePause && firstAfterResume);
    const double silentAfter = Ms(*lastBeforePause - paused);
    const double soundAfter = Ms(*firstAfterResume - resumed);
    std::printf("[ figures  ] Pause silent after %.1f ms; Resume sounds after %.1f ms\n",
                silentAfter, soundAfter);
    EXPECT_LT(silentAfter, 50);
    EXPECT_LT(soundAfter, 50);
    // Nothing lost and nothing played twice: the whole second is heard once.
    EXPECT_NEAR(recording.SoundMs(start - 20ms, end), 1000, 30);
    EXPECT_EQ(stream->PlayedFrames(), static_cast<uint64_t>(Rate));
}

TEST_F(PulseAudioOutputE2E, DestroyingTheStreamSilencesItWithin50Ms) {
    TMonitorRecording& recording = Server->Record("test");
    TFigures silence, destroy;
    for (int run = 0; run < 5; ++run) {
        TEventLog log;
        auto stream = Output->OpenStream(0, {Rate, 1}, log.Events());
        const auto start = TClock::now();
        Write(*stream, Tone(2000));
        stream->Mark(1);
        stream->Drain();
        std::this_thread::sleep_for(300ms);
        const auto stopped = TClock::now();
        stream.reset();
        destroy.Values.push_back(Ms(TClock::now() - stopped));
        std::this_thread::sleep_for(300ms);
        ASSERT_TRUE(recording.WaitUntilRecorded(TClock::now()));
        const auto last = recording.LastSound(start, TClock::now());
        ASSERT_TRUE(last.has_value());
        silence.Values.push_back(Ms(*last - stopped));
        std::lock_guard lock(log.Mutex);
        EXPECT_TRUE(log.Marks.empty());
        EXPECT_FALSE(log.Drained.has_value());
    }
    std::printf("[ figures  ] silent after destruction: median %.1f ms, max %.1f ms; the "
                "destructor takes %.2f ms at most\n",
                silence.Median(), silence.Max(), destroy.Max());
    EXPECT_LT(silence.Max(), 50);
}

TEST_F(PulseAudioOutputE2E, MarksAndDrainArriveWhenTheirAudioIsHeard) {
    TMonitorRecording& recording = Server->Record("test");
    TEventLog log;
    auto stream = Output->OpenStream(0, {Rate, 1}, log.Events());
    const auto start = TClock::now();
    stream->Mark(0);
    Write(*stream, Tone(200));
    stream->Mark(1);
    Write(*stream, Silence(200));
    stream->Mark(2);
    Write(*stream, Tone(200));
    stream->Mark(3);
    stream->Drain();
    ASSERT_TRUE(log.WaitDrained());
    ASSERT_TRUE(recording.WaitUntilRecorded(TClock::now() + 50ms));

    const auto begin1 = recording.FirstSound(start - 20ms, start + 1s);
    ASSERT_TRUE(begin1);
    const auto end1 = recording.LastSound(*begin1, *begin1 + 300ms);
    const auto begin2 = recording.FirstSound(*end1 + 100ms, *end1 + 1s);
    ASSERT_TRUE(end1 && begin2);
    const auto end2 = recording.LastSound(*begin2, *begin2 + 300ms);
    ASSERT_TRUE(end2);

    std::lock_guard lock(log.Mutex);
    ASSERT_EQ(log.Marks.size(), 4u);
    const TClock::time_point heard[] = {*begin1, *end1, *begin2, *end2};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(log.Marks[i].first, i);
        const double error = Ms(log.Marks[i].second - heard[i]);
        std::printf("[ figures  ] mark %zu reported %+.1f ms from its sound\n", i, error);
        EXPECT_LT(std::abs(error), 40) << "mark " << i;
    }
    const double drainError = Ms(*log.Drained - *end2);
    std::printf("[ figures  ] drain reported %+.1f ms from the last sound\n", drainError);
    EXPECT_LT(std::abs(drainError), 60);
    EXPECT_EQ(log.DrainCount, 1);
    EXPECT_EQ(stream->PlayedFrames(), static_cast<uint64_t>(Rate * 600 / 1000));
}

TEST_F(PulseAudioOutputE2E, DrainWithoutAudioEndsAtOnceAndIgnoresLaterWrites) {
    TEventLog log;
    auto stream = Output->OpenStream(0, {Rate, 2}, log.Events());
    const auto start = TClock::now();
    stream->Mark(5);
    stream->Drain();
    ASSERT_TRUE(log.WaitDrained(2s));
    EXPECT_LT(Ms(*log.Drained - start), 100);
    Write(*stream, Tone(100, 2));
    stream->Mark(6);
    stream->Drain();
    std::this_thread::sleep_for(200ms);
    std::lock_guard lock(log.Mutex);
    ASSERT_EQ(log.Marks.size(), 1u);
    EXPECT_EQ(log.Marks[0].first, 5u);
    EXPECT_EQ(log.DrainCount, 1);
    EXPECT_EQ(stream->PlayedFrames(), 0u);
}

TEST_F(PulseAudioOutputE2E,
       ServerKilledWhilePlayingFailsTheStreamAndANewStreamWorksAfterItsReturn) {
    TEventLog log;
    auto stream = Output->OpenStream(0, {Rate, 1}, log.Events());
    Write(*stream, Tone(3000));
    stream->Mark(1);
    stream->Drain();
    std::this_thread::sleep_for(200ms);
    const auto killed = TClock::now();
    Server->Kill();
    ASSERT_TRUE(log.WaitFailed());
    std::printf("[ figures  ] OnFailed %.1f ms after the server was killed\n",
                Ms(*log.Failed - killed));
    EXPECT_FALSE(log.Reason.empty());

    // The dead stream answers at once and reports nothing more.
    const auto calls = TClock::now();
    Write(*stream, Tone(100));
    stream->Mark(2);
    stream->Pause();
    stream->Resume();
    const uint64_t played = stream->PlayedFrames();
    EXPECT_GT(played, 0u);
    EXPECT_LT(played, static_cast<uint64_t>(Rate));
    stream.reset();
    EXPECT_LT(Ms(TClock::now() - calls), 100);
    {
        std::lock_guard lock(log.Mutex);
        EXPECT_EQ(log.FailCount, 1);
        EXPECT_TRUE(log.Marks.empty());
        EXPECT_FALSE(log.Drained.has_value());
    }

    // Meanwhile there are no devices, and a stream plays into nothing.
    EXPECT_TRUE(Output->OutputDevices().empty());
    TEventLog nullLog;
    auto nullStream = Output->OpenStream(0, {Rate, 1}, nullLog.Events());
    Write(*nullStream, Tone(100));
    nullStream->Drain();
    EXPECT_TRUE(nullLog.WaitDrained(2s));
    nullStream.reset();

    // The server comes back: the list and playback work again.
    Server->Start();
    TMonitorRecording& recording = Server->Record("test");
    const auto until = TClock::now() + 3s;
    std::vector<std::string> devices;
    while ((devices = Output->OutputDevices()).empty() && TClock::now() < until)
        std::this_thread::sleep_for(20ms);
    EXPECT_THAT(devices, ElementsAre("Test", "TestB"));
    TEventLog again;
    auto revived = Output->OpenStream(0, {Rate, 1}, again.Events());
    const auto start = TClock::now();
    Write(*revived, Tone(300));
    revived->Drain();
    ASSERT_TRUE(again.WaitDrained());
    ASSERT_TRUE(recording.WaitUntilRecorded(TClock::now() + 50ms));
    EXPECT_NEAR(recording.SoundMs(start - 20ms, TClock::now()), 300, 30);
}

TEST_F(PulseAudioOutputE2E, AHungServerBlocksNoCallAndSpeechGoesOnOnASilentClock) {
    TMonitorRecording& recording = Server->Record("test");
    ASSERT_THAT(Output->OutputDevices(), ElementsAre("Test", "TestB"));
    std::atomic<int> news{0};
    Output->SetOnDevicesChanged([&] { ++news; });
    double longest = 0; // the longest call while the server hangs
    auto timed = [&](auto&& call) {
        const auto start = TClock::now();
        call();
        longest = std::max(longest, Ms(TClock::now() - start));
    };

    // A stream that plays when the server stops: it goes on on a silent
    // clock from where it stood, so its marks and drain still come.
    TEventLog playing;
    auto first = Output->OpenStream(0, {Rate, 1}, playing.Events());
    Write(*first, Tone(2000));
    first->Mark(1);
    first->Drain();
    const auto firstStart = TClock::now();
    std::this_thread::sleep_for(300ms);
    Server->Hang();
    const auto hung = TClock::now();

    // Every call returns at once; a new stream plays into nothing in real time.
    std::vector<std::string> devices;
    timed([&] { devices = Output->OutputDevices(); });
    EXPECT_THAT(devices, ElementsAre("Test", "TestB")); // the cards stay listed
    TEventLog second;
    std::unique_ptr<IAudioStream> stream;
    timed([&] { stream = Output->OpenStream(1, {Rate, 1}, second.Events()); });
    const auto secondStart = TClock::now();
    timed([&] { Write(*stream, Tone(500)); });
    timed([&] { stream->Mark(7); });
    timed([&] { stream->Drain(); });
    ASSERT_TRUE(second.WaitDrained(3s));
    EXPECT_GE(Ms(*second.Drained - secondStart), 450);
    EXPECT_LT(Ms(*second.Drained - secondStart), 1500);
    EXPECT_EQ(second.Marks.size(), 1u);
    EXPECT_FALSE(second.Failed.has_value());
    ASSERT_TRUE(playing.WaitDrained(5s));
    EXPECT_GE(Ms(*playing.Drained - firstStart), 1900);
    EXPECT_LT(Ms(*playing.Drained - firstStart), 2000 + TPulseAudioOutput::RequestTimeoutMs + 500);
    EXPECT_FALSE(playing.Failed.has_value());
    EXPECT_TRUE(Output->ServerNotAnswering());
    EXPECT_GT(news.load(), 0) << "no news of the server that stopped answering";
    // While it is known to hang, a stream needs no time to find out.
    TEventLog third;
    timed([&] { stream = Output->OpenStream(-1, {Rate, 1}, third.Events()); });
    timed([&] { Write(*stream, Tone(100)); });
    timed([&] { stream->Drain(); });
    EXPECT_TRUE(third.WaitDrained(2s));
    timed([&] { stream.reset(); });
    timed([&] { first.reset(); });
    std::printf("[ figures  ] while the server hangs the longest call takes %.2f ms; the playing stream went "
                "silent and drained %.0f ms after the hang\n",
                longest, Ms(*playing.Drained - hung));
    EXPECT_LT(longest, 50);

    // It wakes up: it answers again, and speech is heard.
    const int before = news.load();
    Server->Continue();
    for (int i = 0; i < 200 && Output->ServerNotAnswering(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(Output->ServerNotAnswering());
    EXPECT_GT(news.load(), before) << "no news of the server that answers again";
    TEventLog back;
    auto revived = Output->OpenStream(0, {Rate, 1}, back.Events());
    const auto start = TClock::now();
    Write(*revived, Tone(300));
    revived->Drain();
    ASSERT_TRUE(back.WaitDrained());
    ASSERT_TRUE(recording.WaitUntilRecorded(TClock::now() + 50ms));
    EXPECT_NEAR(recording.SoundMs(start - 20ms, TClock::now()), 300, 30);
    Output->SetOnDevicesChanged(nullptr);
}

TEST(PulseAudioOutputWithoutServer, ListsNoDevicesAndPlaysIntoNothingOnARealTimeClock) {
    char folder[] = "/tmp/parlino-noserver-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    TEnv server("PULSE_SERVER", std::string("unix:") + folder + "/native");
    TEnv runtime("PULSE_RUNTIME_PATH", folder);
    TPulseAudioOutput output;

    const auto asked = TClock::now();
    EXPECT_TRUE(output.OutputDevices().empty());
    const double firstAsk = Ms(TClock::now() - asked);
    EXPECT_TRUE(output.OutputDevices().empty());
    std::printf("[ figures  ] without a server the device list takes %.2f ms\n", firstAsk);

    TPulseWaveOut waveOut(output);
    EXPECT_EQ(waveOut.WaveOutGetNumDevs(), 0u);

    for (const int device : {-1, 0, 5}) {
        TEventLog log;
        std::unique_ptr<IAudioStream> stream;
        ASSERT_NO_THROW(stream = output.OpenStream(device, {Rate, 1}, log.Events()));
        const auto start = TClock::now();
        Write(*stream, Tone(300));
        stream->Mark(1);
        stream->Drain();
        ASSERT_TRUE(log.WaitDrained());
        EXPECT_GE(Ms(*log.Drained - start), 290);
        EXPECT_LT(Ms(*log.Drained - start), 1000);
        EXPECT_EQ(log.Marks.size(), 1u);
        EXPECT_FALSE(log.Failed.has_value());
    }
    rmdir(folder);
}

TEST(PulseAudioOutputWithoutServer, AServerThatNeverAnswersCostsTheStartupWaitOnceThenNothing) {
    // A socket that accepts connections but never says a word.
    char folder[] = "/tmp/parlino-mute-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const std::string path = std::string(folder) + "/native";
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    TEnv server("PULSE_SERVER", "unix:" + path);
    {
        const auto made = TClock::now();
        TPulseAudioOutput output;
        auto asked = TClock::now();
        EXPECT_TRUE(output.OutputDevices().empty());
        const double first = Ms(TClock::now() - made);
        EXPECT_GE(first, TPulseAudioOutput::StartupWaitMs * 0.9);
        EXPECT_LT(first, TPulseAudioOutput::StartupWaitMs + 200);

        // The layer never waits again.
        asked = TClock::now();
        EXPECT_TRUE(output.OutputDevices().empty());
        EXPECT_LT(Ms(TClock::now() - asked), 20);
        asked = TClock::now();
        TEventLog log;
        auto stream = output.OpenStream(0, {Rate, 1}, log.Events());
        EXPECT_LT(Ms(TClock::now() - asked), 100);
        Write(*stream, Tone(50));
        stream->Drain();
        EXPECT_TRUE(log.WaitDrained(2s));
        std::printf("[ figures  ] a server that never answers: the first call takes %.0f ms\n",
                    first);
    }
    close(listener);
    unlink(path.c_str());
    rmdir(folder);
}
