#include "platform/linux/TPulseAudioOutput.h"

#include "platform/Exceptions.h"
#include "platform/TRealtimeNullAudioStream.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace parlino {

namespace {

using TClock = std::chrono::steady_clock;

constexpr pa_usec_t UsecPerMs = 1000;
// How often the playback position is checked while marks or the drain wait.
constexpr pa_usec_t PollIntervalUsec = 5 * UsecPerMs;
// The bound on every wait for the server (stream creation, the sink list).
constexpr pa_usec_t RequestTimeoutUsec = 1000 * UsecPerMs;
// The server's request size and start threshold.
constexpr int RequestMs = 5;

// The user's callbacks of one stream. The stream closes it on destruction;
// the event thread calls nothing of a closed sink. The mutex is recursive so
// that a stream may be destroyed from within its own event.
struct TEventSink {
    explicit TEventSink(TAudioStreamEvents events) : Events(std::move(events)) {}
    std::recursive_mutex Mutex;
    bool Closed = false;
    const TAudioStreamEvents Events;
};

// Calls the streams' events in the order they were posted, on its own thread,
// so that they run outside the main loop's lock.
class TEventThread {
public:
    using TCall = std::function<void(const TAudioStreamEvents&)>;

    TEventThread() : FThread([this] { Run(); }) {}
    ~TEventThread() {
        {
            std::lock_guard lock(FMutex);
            FStop = true;
        }
        FWake.notify_all();
        FThread.join();
    }

    void Post(std::shared_ptr<TEventSink> sink, TCall call) {
        {
            std::lock_guard lock(FMutex);
            FQueue.emplace_back(std::move(sink), std::move(call));
        }
        FWake.notify_all();
    }

private:
    void Run() {
        std::unique_lock lock(FMutex);
        for (;;) {
            FWake.wait(lock, [this] { return FStop || !FQueue.empty(); });
            if (FQueue.empty())
                return;
            auto [sink, call] = std::move(FQueue.front());
            FQueue.pop_front();
            lock.unlock();
            {
                std::lock_guard guard(sink->Mutex);
                if (!sink->Closed)
                    call(sink->Events);
            }
            sink.reset();
            lock.lock();
        }
    }

    std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<std::pair<std::shared_ptr<TEventSink>, TCall>> FQueue;
    bool FStop = false;
    std::thread FThread; // last: starts after the rest is built
};

// Holds the main loop's lock for a scope, unless the scope runs on the main
// loop's own thread, which holds it already.
class TLoopLock {
public:
    explicit TLoopLock(pa_threaded_mainloop* loop)
        : FLoop(loop), FOwned(loop && !pa_threaded_mainloop_in_thread(loop)) {
        if (FOwned)
            pa_threaded_mainloop_lock(FLoop);
    }
    ~TLoopLock() {
        if (FOwned)
            pa_threaded_mainloop_unlock(FLoop);
    }
    TLoopLock(const TLoopLock&) = delete;
    TLoopLock& operator=(const TLoopLock&) = delete;

private:
    pa_threaded_mainloop* FLoop;
    bool FOwned;
};

void Unref(pa_operation* op) {
    if (op)
        pa_operation_unref(op);
}

struct TSinkEntry {
    std::string Name, Description;
};

} // namespace

struct TPulseAudioOutput::TImpl {
    explicit TImpl(std::string applicationName) : ApplicationName(std::move(applicationName)) {
        Loop = pa_threaded_mainloop_new();
        if (Loop && pa_threaded_mainloop_start(Loop) < 0) {
            pa_threaded_mainloop_free(Loop);
            Loop = nullptr;
        }
    }

    ~TImpl() {
        if (!Loop)
            return;
        {
            TLoopLock lock(Loop);
            DropContext();
        }
        pa_threaded_mainloop_stop(Loop);
        pa_threaded_mainloop_free(Loop);
    }

    // Waits, with the loop's lock held, until `done` holds or `timeoutUsec`
    // has passed; false on timeout. The loop's callbacks signal every change.
    bool WaitUntil(pa_context* context, const std::function<bool()>& done, pa_usec_t timeoutUsec) {
        struct TTimeout {
            pa_threaded_mainloop* Loop;
            bool Expired = false;
        } timeout{Loop};
        pa_time_event* event = pa_context_rttime_new(
            context, pa_rtclock_now() + timeoutUsec,
            [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
                auto* t = static_cast<TTimeout*>(userdata);
                t->Expired = true;
                pa_threaded_mainloop_signal(t->Loop, 0);
            },
            &timeout);
        while (!done() && !timeout.Expired)
            pa_threaded_mainloop_wait(Loop);
        if (event)
            pa_threaded_mainloop_get_api(Loop)->time_free(event);
        return done();
    }

    // Asks the server for news of sinks added or removed. Loop lock held.
    void Subscribe() {
        pa_context_set_subscribe_callback(
            Context,
            [](pa_context*, pa_subscription_event_type_t type, uint32_t, void* userdata) {
                const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
                const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
                if (facility == PA_SUBSCRIPTION_EVENT_SINK &&
                    (kind == PA_SUBSCRIPTION_EVENT_NEW || kind == PA_SUBSCRIPTION_EVENT_REMOVE))
                    static_cast<TImpl*>(userdata)->DevicesChanged();
            },
            this);
        Unref(pa_context_subscribe(Context, PA_SUBSCRIPTION_MASK_SINK, nullptr, nullptr));
        Subscribed = true;
    }

    // Loop thread, or a caller holding the loop lock.
    void DevicesChanged() {
        std::lock_guard lock(HandlerMutex);
        if (OnDevicesChanged)
            OnDevicesChanged();
    }

    void DropContext() {
        if (!Context)
            return;
        if (Subscribed)
            Reconnecting = true;
        Subscribed = false;
        pa_context_set_subscribe_callback(Context, nullptr, nullptr);
        pa_context_set_state_callback(Context, nullptr, nullptr);
        pa_context_disconnect(Context);
        pa_context_unref(Context);
        Context = nullptr;
    }

    // A ready context, connecting when there is none; false without a server.
    // Loop lock and call mutex held.
    bool Connect() {
        if (!Loop)
            return false;
        if (Context) {
            if (pa_context_get_state(Context) == PA_CONTEXT_READY)
                return true;
            DropContext(); // the server went away
        }
        if (TClock::now() < NextAttempt)
            return false;

        Context = pa_context_new(pa_threaded_mainloop_get_api(Loop), ApplicationName.c_str());
        if (!Context)
            return false;
        pa_context_set_state_callback(
            Context,
            [](pa_context* context, void* userdata) {
                auto* self = static_cast<TImpl*>(userdata);
                pa_threaded_mainloop_signal(self->Loop, 0);
                // A server that goes away takes its devices with it.
                if (self->Subscribed && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
                    self->Subscribed = false;
                    self->Reconnecting = true;
                    self->DevicesChanged();
                }
            },
            this);
        // No autospawn: a missing server must not be started behind the user's back.
        bool settled = false;
        if (pa_context_connect(Context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
            settled = WaitUntil(
                Context,
                [this] {
                    const pa_context_state_t state = pa_context_get_state(Context);
                    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
                },
                static_cast<pa_usec_t>(ConnectTimeoutMs) * UsecPerMs);
        } else {
            settled = true;
        }
        if (settled && pa_context_get_state(Context) == PA_CONTEXT_READY) {
            Subscribe();
            // After a lost connection the devices may be others now.
            if (std::exchange(Reconnecting, false))
                DevicesChanged();
            return true;
        }
        DropContext();
        NextAttempt =
            TClock::now() + std::chrono::milliseconds(settled ? RetryDelayMs : RetryAfterHangMs);
        return false;
    }

    // The server's sinks in its order; nothing when the query fails.
    // Loop lock and call mutex held, context ready.
    std::optional<std::vector<TSinkEntry>> Sinks() {
        struct TQuery {
            pa_threaded_mainloop* Loop;
            std::vector<TSinkEntry> Sinks;
            bool Done = false, Failed = false;
        } query{Loop, {}, false, false};
        pa_operation* op = pa_context_get_sink_info_list(
            Context,
            [](pa_context*, const pa_sink_info* info, int eol, void* userdata) {
                auto* q = static_cast<TQuery*>(userdata);
                if (eol) {
                    q->Done = true;
                    q->Failed = eol < 0;
                    pa_threaded_mainloop_signal(q->Loop, 0);
                } else if (info) {
                    std::string description = info->description ? info->description : "";
                    q->Sinks.push_back(
                        {info->name ? info->name : "",
                         description.empty() && info->name ? info->name : description});
                }
            },
            &query);
        if (!op)
            return std::nullopt;
        const bool done = WaitUntil(
            Context,
            [&] { return query.Done || pa_operation_get_state(op) != PA_OPERATION_RUNNING; },
            RequestTimeoutUsec);
        // Cancelling guarantees that the callback no longer sees `query`.
        if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_operation_cancel(op);
        pa_operation_unref(op);
        if (!done || !query.Done || query.Failed)
            return std::nullopt;
        return std::move(query.Sinks);
    }

    const std::string ApplicationName;
    pa_threaded_mainloop* Loop = nullptr;
    pa_context* Context = nullptr;
    TClock::time_point NextAttempt{};
    bool Subscribed = false;   // the current context reports sink changes
    bool Reconnecting = false; // a context that reported them was lost
    // Guards OnDevicesChanged; taken inside the loop lock, never around it.
    std::mutex HandlerMutex;
    std::function<void()> OnDevicesChanged;
    // Serialises the output's own calls, so that only one thread waits on the
    // loop for the context at a time.
    std::mutex CallMutex;
    TEventThread Events;
};

namespace {

// A playback stream on the server. Writes go into a buffer of our own, from
// which the server is fed as it asks for data, so that Write never blocks and
// the server holds only about TargetLatencyMs of audio: that bounds what plays
// on after Pause and destruction. All state is guarded by the loop's lock.
class TPulseAudioStream final : public IAudioStream {
public:
    TPulseAudioStream(TPulseAudioOutput::TImpl& output, const TAudioFormat& format,
                      TAudioStreamEvents events)
        : FOutput(output), FLoop(output.Loop), FRate(format.SampleRate), FChannels(format.Channels),
          FSink(std::make_shared<TEventSink>(std::move(events))) {}

    // Creates the stream on `device` (nullptr: the default) and waits until the
    // server accepted it; false when it did not. Loop lock held.
    bool Connect(pa_context* context, const char* device) {
        const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, static_cast<uint32_t>(FRate),
                                  static_cast<uint8_t>(FChannels)};
        if (FRate <= 0 || FChannels <= 0 || FChannels > static_cast<int>(PA_CHANNELS_MAX) ||
            !pa_sample_spec_valid(&sampleFormat))
            return false;
        FContext = pa_context_ref(context);
        FStream = pa_stream_new(context, "Speech", &sampleFormat, nullptr);
        if (!FStream)
            return false;
        pa_stream_set_state_callback(FStream, &TPulseAudioStream::OnState, this);
        pa_stream_set_write_callback(FStream, &TPulseAudioStream::OnWriteRequest, this);
        FTimer =
            pa_context_rttime_new(FContext, PA_USEC_INVALID, &TPulseAudioStream::OnTimer, this);

        const uint32_t frameBytes = static_cast<uint32_t>(2 * FChannels);
        const auto bytes = [&](int ms) {
            return std::max<uint32_t>(
                       1, static_cast<uint32_t>(static_cast<uint64_t>(FRate) * ms / 1000)) *
                   frameBytes;
        };
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = bytes(TPulseAudioOutput::TargetLatencyMs);
        attr.prebuf = bytes(RequestMs);
        attr.minreq = bytes(RequestMs);
        attr.fragsize = static_cast<uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_playback(FStream, device, &attr, flags, nullptr, nullptr) < 0)
            return false;
        FOutput.WaitUntil(
            FContext, [this] { return pa_stream_get_state(FStream) != PA_STREAM_CREATING; },
            RequestTimeoutUsec);
        FReady = pa_stream_get_state(FStream) == PA_STREAM_READY;
        return FReady;
    }

    ~TPulseAudioStream() override {
        {
            std::lock_guard guard(FSink->Mutex);
            FSink->Closed = true;
        }
        TLoopLock lock(FLoop);
        if (FTimer)
            pa_threaded_mainloop_get_api(FLoop)->time_free(FTimer);
        if (FDrainOp) {
            pa_operation_cancel(FDrainOp);
            pa_operation_unref(FDrainOp);
        }
        if (FStream) {
            pa_stream_set_state_callback(FStream, nullptr, nullptr);
            pa_stream_set_write_callback(FStream, nullptr, nullptr);
            if (pa_stream_get_state(FStream) == PA_STREAM_READY) {
                // Silence at once and drop what the server holds, then go.
                Unref(pa_stream_cork(FStream, 1, nullptr, nullptr));
                Unref(pa_stream_flush(FStream, nullptr, nullptr));
            }
            if (PA_STREAM_IS_GOOD(pa_stream_get_state(FStream)))
                pa_stream_disconnect(FStream);
            pa_stream_unref(FStream);
        }
        if (FContext)
            pa_context_unref(FContext);
    }

    void Write(const int16_t* samples, size_t count) override {
        TLoopLock lock(FLoop);
        if (FFailed || FDrainRequested || count == 0)
            return;
        FPending.insert(FPending.end(), samples, samples + count);
        FWritten += count / static_cast<size_t>(FChannels);
        Feed();
    }

    void Mark(uint64_t mark) override {
        TLoopLock lock(FLoop);
        if (FFailed || FDrainRequested)
            return;
        FMarks.emplace_back(FWritten, mark);
        ArmTimer();
    }

    void Drain() override {
        TLoopLock lock(FLoop);
        if (FFailed || FDrainRequested)
            return;
        FDrainRequested = true;
        Feed();
        ArmTimer();
    }

    void Pause() override {
        TLoopLock lock(FLoop);
        FPaused = true;
        if (FReady && !FFailed)
            Unref(pa_stream_cork(FStream, 1, nullptr, nullptr));
    }

    void Resume() override {
        TLoopLock lock(FLoop);
        FPaused = false;
        if (FReady && !FFailed)
            Unref(pa_stream_cork(FStream, 0, nullptr, nullptr));
    }

    bool IsPaused() const override {
        TLoopLock lock(FLoop);
        return FPaused;
    }

    uint64_t PlayedFrames() const override {
        TLoopLock lock(FLoop);
        return Played();
    }

private:
    static void OnState(pa_stream* stream, void* userdata) {
        auto* self = static_cast<TPulseAudioStream*>(userdata);
        pa_threaded_mainloop_signal(self->FLoop, 0);
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (self->FReady && !PA_STREAM_IS_GOOD(state))
            self->Fail(pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
    }

    static void OnWriteRequest(pa_stream*, size_t, void* userdata) {
        static_cast<TPulseAudioStream*>(userdata)->Feed();
    }

    static void OnTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
        auto* self = static_cast<TPulseAudioStream*>(userdata);
        self->FTimerArmed = false;
        self->Poll();
        if (self->Waiting())
            self->ArmTimer();
    }

    static void OnDrained(pa_stream*, int success, void* userdata) {
        auto* self = static_cast<TPulseAudioStream*>(userdata);
        pa_operation_unref(self->FDrainOp);
        self->FDrainOp = nullptr;
        if (!success)
            return;
        self->FDrainAcked = true;
        self->Poll();
    }

    bool Waiting() const {
        return !FFailed && (!FMarks.empty() || (FDrainRequested && !FDrainReported));
    }

    void ArmTimer() {
        if (FTimerArmed || !FTimer || !Waiting())
            return;
        pa_context_rttime_restart(FContext, FTimer, pa_rtclock_now() + PollIntervalUsec);
        FTimerArmed = true;
    }

    // Hands the server as much of our buffer as it asks for; asks for the
    // drain once everything has been handed over.
    void Feed() {
        if (!FReady || FFailed)
            return;
        const size_t frameBytes = 2 * static_cast<size_t>(FChannels);
        while (FPendingStart < FPending.size()) {
            const size_t writable = pa_stream_writable_size(FStream);
            if (writable == static_cast<size_t>(-1) || writable < frameBytes)
                break;
            size_t bytes = std::min(writable, (FPending.size() - FPendingStart) * 2);
            bytes -= bytes % frameBytes;
            if (bytes == 0 || pa_stream_write(FStream, FPending.data() + FPendingStart, bytes,
                                              nullptr, 0, PA_SEEK_RELATIVE) < 0)
                break;
            FPendingStart += bytes / 2;
        }
        if (FPendingStart >= FPending.size()) {
            FPending.clear();
            FPendingStart = 0;
        } else if (FPendingStart > (1u << 16) && FPendingStart * 2 > FPending.size()) {
            FPending.erase(FPending.begin(),
                           FPending.begin() + static_cast<std::ptrdiff_t>(FPendingStart));
            FPendingStart = 0;
        }
        if (FDrainRequested && FPending.empty() && !FDrainOp && !FDrainAcked)
            FDrainOp = pa_stream_drain(FStream, &TPulseAudioStream::OnDrained, this);
    }

    // Frames heard so far: the server's playback time, which already allows
    // for the sink's latency, interpolated between its timing reports.
    uint64_t Played() const {
        pa_usec_t usec = 0;
        if (FReady && !FFailed && pa_stream_get_time(FStream, &usec) >= 0) {
            const uint64_t frames =
                std::min<uint64_t>(usec * static_cast<uint64_t>(FRate) / 1'000'000u, FWritten);
            FPlayed = std::max(FPlayed, frames);
        }
        // Once the server has confirmed the drain, everything written was
        // played, whatever the last timing update said.
        if (FDrainAcked) FPlayed = FWritten;
        return FPlayed;
    }

    // Reports the marks playback has reached and, after the server's drain
    // acknowledgement (all audio played), the rest of them and the drain.
    void Poll() {
        if (FFailed)
            return;
        const uint64_t played = Played();
        while (!FMarks.empty()) {
            const uint64_t position = FMarks.front().first;
            if (!FDrainAcked && played <= position && !(played == position && played == FWritten))
                break;
            Post([mark = FMarks.front().second](const TAudioStreamEvents& e) {
                if (e.OnMarkPlayed)
                    e.OnMarkPlayed(mark);
            });
            FMarks.pop_front();
        }
        if (FDrainAcked && !FDrainReported) {
            FDrainReported = true;
            Post([](const TAudioStreamEvents& e) {
                if (e.OnDrained)
                    e.OnDrained();
            });
        }
    }

    void Fail(const std::string& reason) {
        if (FFailed)
            return;
        Played(); // keep the last position for PlayedFrames
        FFailed = true;
        FMarks.clear();
        FPending.clear();
        FPendingStart = 0;
        if (FTimer && FTimerArmed)
            pa_context_rttime_restart(FContext, FTimer, PA_USEC_INVALID);
        FTimerArmed = false;
        Post([reason](const TAudioStreamEvents& e) {
            if (e.OnFailed)
                e.OnFailed(reason);
        });
    }

    void Post(TEventThread::TCall call) { FOutput.Events.Post(FSink, std::move(call)); }

    TPulseAudioOutput::TImpl& FOutput;
    pa_threaded_mainloop* const FLoop;
    const int FRate;
    const int FChannels;
    const std::shared_ptr<TEventSink> FSink;
    pa_context* FContext = nullptr;
    pa_stream* FStream = nullptr;
    pa_time_event* FTimer = nullptr;
    pa_operation* FDrainOp = nullptr;
    std::vector<int16_t> FPending; // written, not yet handed to the server
    size_t FPendingStart = 0;
    uint64_t FWritten = 0;                            // frames
    mutable uint64_t FPlayed = 0;                     // frames; never goes back
    std::deque<std::pair<uint64_t, uint64_t>> FMarks; // (frame position, mark)
    bool FReady = false, FFailed = false, FPaused = false, FTimerArmed = false;
    bool FDrainRequested = false, FDrainAcked = false, FDrainReported = false;
};

} // namespace

TPulseAudioOutput::TPulseAudioOutput(const std::string& applicationName)
    : FImpl(std::make_unique<TImpl>(applicationName)) {}

TPulseAudioOutput::~TPulseAudioOutput() = default;

std::vector<std::string> TPulseAudioOutput::OutputDevices() {
    std::lock_guard call(FImpl->CallMutex);
    TLoopLock lock(FImpl->Loop);
    std::vector<std::string> names;
    if (!FImpl->Connect())
        return names;
    if (auto sinks = FImpl->Sinks())
        for (TSinkEntry& sink : *sinks)
            names.push_back(std::move(sink.Description));
    return names;
}

void TPulseAudioOutput::SetOnDevicesChanged(std::function<void()> handler) {
    const bool listen = static_cast<bool>(handler);
    {
        std::lock_guard lock(FImpl->HandlerMutex);
        FImpl->OnDevicesChanged = std::move(handler);
    }
    if (!listen)
        return; // taking the handler back needs no server
    std::lock_guard call(FImpl->CallMutex);
    TLoopLock lock(FImpl->Loop);
    FImpl->Connect();
}

std::unique_ptr<IAudioStream> TPulseAudioOutput::OpenStream(int deviceIndex,
                                                            const TAudioFormat& format,
                                                            TAudioStreamEvents events) {
    std::lock_guard call(FImpl->CallMutex);
    {
        TLoopLock lock(FImpl->Loop);
        if (FImpl->Connect()) {
            std::optional<std::vector<TSinkEntry>> sinks;
            if (deviceIndex >= 0)
                sinks = FImpl->Sinks();
            if (deviceIndex < 0 || (sinks && !sinks->empty())) {
                if (sinks && static_cast<size_t>(deviceIndex) >= sinks->size())
                    throw EParlinoError("Sound device " + std::to_string(deviceIndex) +
                                        " does not exist.");
                auto stream = std::make_unique<TPulseAudioStream>(*FImpl, format, events);
                if (stream->Connect(FImpl->Context,
                                    sinks ? (*sinks)[static_cast<size_t>(deviceIndex)].Name.c_str()
                                          : nullptr))
                    return stream;
            }
        }
    }
    return std::make_unique<TRealtimeNullAudioStream>(format, std::move(events));
}

} // namespace parlino
