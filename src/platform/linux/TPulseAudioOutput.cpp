#include "platform/linux/TPulseAudioOutput.h"

#include "platform/Exceptions.h"
#include "platform/TRealtimeNullAudioStream.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
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
// A playing stream the server has said nothing about for this long is asked
// for its timing, so that a quiet but healthy server is heard from.
constexpr int ProbeAfterMs = 250;
// The server's request size and start threshold.
constexpr int RequestMs = 5;

double MsSince(TClock::time_point since, TClock::time_point now = TClock::now()) {
    return std::chrono::duration<double, std::milli>(now - since).count();
}

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

void Cancel(pa_operation*& op) {
    if (!op)
        return;
    // Cancelling guarantees that the operation's callback is not called.
    if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
        pa_operation_cancel(op);
    pa_operation_unref(op);
    op = nullptr;
}

// A timer of the main loop, off until armed. Loop lock held.
pa_time_event* NewTimer(pa_threaded_mainloop* loop, pa_time_event_cb_t callback, void* userdata) {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
    return api->time_new(api, nullptr, callback, userdata);
}

void ArmTimer(pa_threaded_mainloop* loop, pa_time_event* timer, pa_usec_t afterUsec) {
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, afterUsec);
    pa_threaded_mainloop_get_api(loop)->time_restart(timer, &when);
}

void FreeTimer(pa_threaded_mainloop* loop, pa_time_event*& timer) {
    if (timer)
        pa_threaded_mainloop_get_api(loop)->time_free(timer);
    timer = nullptr;
}

class TPulseAudioStream;

} // namespace

struct TPulseAudioOutput::TImpl {
    explicit TImpl(std::string applicationName) : ApplicationName(std::move(applicationName)) {
        Loop = pa_threaded_mainloop_new();
        if (Loop && pa_threaded_mainloop_start(Loop) < 0) {
            pa_threaded_mainloop_free(Loop);
            Loop = nullptr;
        }
        if (!Loop) {
            FirstOutcome = true;
            return;
        }
        TLoopLock lock(Loop);
        ConnectTimer = NewTimer(Loop, &TImpl::OnConnectTimer, this);
        RequestTimer = NewTimer(Loop, &TImpl::OnRequestTimer, this);
        StartConnecting();
    }

    ~TImpl() {
        if (!Loop)
            return;
        {
            TLoopLock lock(Loop);
            DropContext();
            FreeTimer(Loop, ConnectTimer);
            FreeTimer(Loop, RequestTimer);
        }
        pa_threaded_mainloop_stop(Loop);
        pa_threaded_mainloop_free(Loop);
    }

    // ---- The connection (loop lock held throughout) ----------------------

    // Starts a connection unless there is one, or one is under way, or the
    // last attempt failed too recently. A context that failed is dropped.
    void StartConnecting() {
        if (!Loop)
            return;
        if (Context && ContextLost)
            DropContext();
        if (Context || TClock::now() < NextAttempt)
            return;
        Context = pa_context_new(pa_threaded_mainloop_get_api(Loop), ApplicationName.c_str());
        if (!Context) {
            Settle(RetryDelayMs);
            return;
        }
        ContextLost = false;
        pa_context_set_state_callback(Context, &TImpl::OnContextState, this);
        // No autospawn: a missing server must not be started behind the user's back.
        if (pa_context_connect(Context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            DropContext();
            Settle(RetryDelayMs);
            return;
        }
        ArmTimer(Loop, ConnectTimer, static_cast<pa_usec_t>(ConnectTimeoutMs) * UsecPerMs);
    }

    bool Ready() const { return Context && !ContextLost && pa_context_get_state(Context) == PA_CONTEXT_READY; }

    static void OnContextState(pa_context* context, void* userdata) {
        auto* self = static_cast<TImpl*>(userdata);
        pa_threaded_mainloop_signal(self->Loop, 0);
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY) {
            pa_threaded_mainloop_get_api(self->Loop)->time_restart(self->ConnectTimer, nullptr);
            self->Subscribe();
            self->RequestSinks(); // the streams waiting are set up once it is read
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            // The context cannot be freed inside its own callback: the timer
            // does it at once.
            self->Lose(RetryDelayMs);
            ArmTimer(self->Loop, self->ConnectTimer, 0);
        }
    }

    // Connect timer: a connection not ready in time is given up, and a lost
    // context is freed.
    static void OnConnectTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
        auto* self = static_cast<TImpl*>(userdata);
        if (self->Context && !self->ContextLost && !self->Ready())
            self->Lose(RetryAfterHangMs);
        if (self->Context && self->ContextLost)
            self->DropContext();
    }

    // The connection is gone or never came: no devices, no hang, and the
    // streams waiting for it play into nothing. The next attempt waits
    // `retryMs`.
    void Lose(int retryMs) {
        if (ContextLost)
            return;
        ContextLost = true;
        const bool hadDevices = Subscribed || !Sinks.empty();
        Subscribed = false;
        Sinks.clear();
        SinksKnown = false;
        Hung = false;
        Cancel(ListOp);
        Cancel(ProbeOp);
        pa_threaded_mainloop_get_api(Loop)->time_restart(RequestTimer, nullptr);
        Settle(retryMs);
        SilenceWaiting();
        if (hadDevices)
            DevicesChanged(); // a server that goes away takes its devices with it
    }

    // The first attempt's outcome is known; the next one waits `retryMs`.
    void Settle(int retryMs) {
        NextAttempt = TClock::now() + std::chrono::milliseconds(retryMs);
        FirstOutcome = true;
        pa_threaded_mainloop_signal(Loop, 0);
    }

    void DropContext() {
        if (!Context)
            return;
        Cancel(ListOp);
        Cancel(ProbeOp);
        pa_context_set_subscribe_callback(Context, nullptr, nullptr);
        pa_context_set_state_callback(Context, nullptr, nullptr);
        pa_context_disconnect(Context);
        pa_context_unref(Context);
        Context = nullptr;
        if (!ContextLost) {
            ContextLost = true;
            Subscribed = false;
            Sinks.clear();
            SinksKnown = false;
            Hung = false;
        }
        if (ConnectTimer)
            pa_threaded_mainloop_get_api(Loop)->time_restart(ConnectTimer, nullptr);
    }

    // Asks the server for news of sinks added or removed.
    void Subscribe() {
        pa_context_set_subscribe_callback(
            Context,
            [](pa_context*, pa_subscription_event_type_t type, uint32_t, void* userdata) {
                auto* self = static_cast<TImpl*>(userdata);
                const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
                const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
                self->Answered();
                if (facility == PA_SUBSCRIPTION_EVENT_SINK &&
                    (kind == PA_SUBSCRIPTION_EVENT_NEW || kind == PA_SUBSCRIPTION_EVENT_REMOVE))
                    self->RequestSinks();
            },
            this);
        Unref(pa_context_subscribe(Context, PA_SUBSCRIPTION_MASK_SINK, nullptr, nullptr));
        Subscribed = true;
    }

    // ---- The device list --------------------------------------------------

    // Reads the sink list anew; DevicesChanged follows once it is read.
    void RequestSinks() {
        if (!Ready())
            return;
        if (ListOp) {
            ListAgain = true;
            return;
        }
        Listing.clear();
        ListOp = pa_context_get_sink_info_list(Context, &TImpl::OnSinkInfo, this);
        if (!ListOp) {
            SinksKnown = true; // what is known is all there is
            ConnectWaiting();
            return;
        }
        ListAsked = TClock::now();
        ArmTimer(Loop, RequestTimer, static_cast<pa_usec_t>(RequestTimeoutMs) * UsecPerMs);
    }

    static void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
        auto* self = static_cast<TImpl*>(userdata);
        if (!eol) {
            if (info) {
                const std::string name = info->name ? info->name : "";
                const std::string description = info->description ? info->description : "";
                self->Listing.push_back({name, description.empty() ? name : description});
            }
            return;
        }
        Unref(self->ListOp);
        self->ListOp = nullptr;
        if (eol > 0) {
            self->Sinks = std::move(self->Listing);
            self->SinksKnown = true;
        }
        self->Listing.clear();
        self->FirstOutcome = true;
        pa_threaded_mainloop_signal(self->Loop, 0);
        self->Answered();
        self->ConnectWaiting();
        // Also after a lost connection: the devices may be others now.
        self->DevicesChanged();
        if (std::exchange(self->ListAgain, false))
            self->RequestSinks();
    }

    // Request timer: the list asked for has not come.
    static void OnRequestTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
        auto* self = static_cast<TImpl*>(userdata);
        if (self->ListOp && MsSince(self->ListAsked) >= RequestTimeoutMs * 0.99) {
            self->FirstOutcome = true;
            pa_threaded_mainloop_signal(self->Loop, 0);
            self->NotAnswering();
        }
    }

    // ---- The server's health ----------------------------------------------

    // The server has stopped answering: the news goes out once, and a probe
    // waits for its next word (a request under way waits just as well).
    void NotAnswering() {
        if (Hung || !Ready())
            return;
        Hung = true;
        SilenceWaiting();
        if (!ListOp && !ProbeOp)
            ProbeOp = pa_context_get_server_info(
                Context,
                [](pa_context*, const pa_server_info*, void* userdata) {
                    auto* self = static_cast<TImpl*>(userdata);
                    Unref(self->ProbeOp);
                    self->ProbeOp = nullptr;
                    self->Answered();
                },
                this);
        DevicesChanged();
    }

    // The server said something: it answers (again).
    void Answered() {
        if (!Hung)
            return;
        Hung = false;
        DevicesChanged();
        RequestSinks(); // what changed meanwhile
    }

    // Loop thread, or a caller holding the loop lock.
    void DevicesChanged() {
        std::lock_guard lock(HandlerMutex);
        if (OnDevicesChanged)
            OnDevicesChanged();
    }

    // Waits for the first attempt's outcome, at most StartupWaitMs after
    // construction. Caller's thread, loop lock held.
    void AwaitFirstOutcome() {
        if (FirstOutcome || !Loop || pa_threaded_mainloop_in_thread(Loop))
            return;
        const auto until = Created + std::chrono::milliseconds(StartupWaitMs);
        if (TClock::now() >= until)
            return;
        struct TTimeout {
            pa_threaded_mainloop* Loop;
            bool Expired = false;
        } timeout{Loop};
        pa_time_event* timer = NewTimer(
            Loop,
            [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
                auto* t = static_cast<TTimeout*>(userdata);
                t->Expired = true;
                pa_threaded_mainloop_signal(t->Loop, 0);
            },
            &timeout);
        ArmTimer(Loop, timer, static_cast<pa_usec_t>(
                                  std::chrono::duration_cast<std::chrono::microseconds>(until - TClock::now()).count()));
        while (!FirstOutcome && !timeout.Expired)
            pa_threaded_mainloop_wait(Loop);
        FreeTimer(Loop, timer);
    }

    // ---- Streams waiting for the connection --------------------------------

    void ConnectWaiting();
    void SilenceWaiting();

    const std::string ApplicationName;
    const TClock::time_point Created = TClock::now();
    pa_threaded_mainloop* Loop = nullptr;
    // The rest: loop lock held.
    pa_context* Context = nullptr;
    bool ContextLost = false; // the context failed or timed out; to be dropped
    pa_time_event* ConnectTimer = nullptr;
    TClock::time_point NextAttempt{};
    bool FirstOutcome = false; // the first attempt ended: ready and listed, or failed
    bool Subscribed = false;   // the current context reports sink changes
    std::vector<TAudioDeviceInfo> Sinks, Listing; // as last read; being read
    bool SinksKnown = false;
    pa_operation* ListOp = nullptr;
    bool ListAgain = false;
    TClock::time_point ListAsked{};
    pa_time_event* RequestTimer = nullptr;
    pa_operation* ProbeOp = nullptr;
    std::atomic<bool> Hung{false};
    std::vector<TPulseAudioStream*> Waiting; // streams waiting for the context
    // Guards OnDevicesChanged; taken inside the loop lock, never around it.
    std::mutex HandlerMutex;
    std::function<void()> OnDevicesChanged;
    TEventThread Events;
};

namespace {

// A playback stream. Writes go into a buffer of our own, from which the
// server is fed as it asks for data, so that Write never blocks and the server
// holds only about TargetLatencyMs of audio: that bounds what plays on after
// Pause and destruction. The stream is set up on the server when the
// connection is ready; until then (and if that never happens) the buffer holds
// the audio. A stream that cannot be had in time, or whose server stops
// answering, goes silent: its audio plays into nothing on a real-time clock
// from where it stood, so that its marks and drain still come. All state is
// guarded by the loop's lock.
class TPulseAudioStream final : public IAudioStream {
public:
    TPulseAudioStream(TPulseAudioOutput::TImpl& output, const TAudioFormat& format, TAudioStreamEvents events,
                      int deviceIndex)
        : FOutput(output), FLoop(output.Loop), FRate(std::max(1, format.SampleRate)),
          FChannels(std::max(1, format.Channels)), FDeviceIndex(deviceIndex),
          FSink(std::make_shared<TEventSink>(std::move(events))) {
        FTimer = NewTimer(FLoop, &TPulseAudioStream::OnTimer, this);
        ArmPoll();
    }

    // Sets the stream up on the server (loop lock held, context ready); it
    // goes silent when the server refuses it now or does not accept it in
    // time.
    void Connect(pa_context* context) {
        FWaitingForContext = false;
        std::optional<std::string> device;
        if (FDeviceIndex >= 0 && static_cast<size_t>(FDeviceIndex) < FOutput.Sinks.size())
            device = FOutput.Sinks[static_cast<size_t>(FDeviceIndex)].Id;
        const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, static_cast<uint32_t>(FRate),
                                          static_cast<uint8_t>(FChannels)};
        if (FChannels > static_cast<int>(PA_CHANNELS_MAX) || !pa_sample_spec_valid(&sampleFormat)) {
            GoSilent();
            return;
        }
        FContext = pa_context_ref(context);
        FStream = pa_stream_new(context, "Speech", &sampleFormat, nullptr);
        if (!FStream) {
            GoSilent();
            return;
        }
        pa_stream_set_state_callback(FStream, &TPulseAudioStream::OnState, this);
        pa_stream_set_write_callback(FStream, &TPulseAudioStream::OnWriteRequest, this);
        pa_stream_set_latency_update_callback(FStream, &TPulseAudioStream::OnHeard, this);

        const uint32_t frameBytes = static_cast<uint32_t>(2 * FChannels);
        const auto bytes = [&](int ms) {
            return std::max<uint32_t>(1, static_cast<uint32_t>(static_cast<uint64_t>(FRate) * ms / 1000)) *
                   frameBytes;
        };
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = bytes(TPulseAudioOutput::TargetLatencyMs);
        attr.prebuf = bytes(RequestMs);
        attr.minreq = bytes(RequestMs);
        attr.fragsize = static_cast<uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                                          PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_playback(FStream, device ? device->c_str() : nullptr, &attr, flags, nullptr, nullptr) <
            0) {
            GoSilent();
            return;
        }
        FAsked = TClock::now();
        ArmPoll();
    }

    // Waits for the connection: on the output's list until it is ready.
    void AwaitContext() {
        FWaitingForContext = true;
        FOutput.Waiting.push_back(this);
    }

    ~TPulseAudioStream() override {
        {
            std::lock_guard guard(FSink->Mutex);
            FSink->Closed = true;
        }
        TLoopLock lock(FLoop);
        std::erase(FOutput.Waiting, this);
        FreeTimer(FLoop, FTimer);
        Detach();
    }

    void Write(const int16_t* samples, size_t count) override {
        TLoopLock lock(FLoop);
        if (FFailed || FDrainRequested || count == 0)
            return;
        const auto now = TClock::now();
        if (!FFirstWrite)
            FFirstWrite = now;
        if (FSilent) {
            SilentAdvance(now); // an underrun before this write is no playing time
        } else {
            FPending.insert(FPending.end(), samples, samples + count);
        }
        FWritten += count / static_cast<size_t>(FChannels);
        Feed();
        ArmPoll();
    }

    void Mark(uint64_t mark) override {
        TLoopLock lock(FLoop);
        if (FFailed || FDrainRequested)
            return;
        FMarks.emplace_back(FWritten, mark);
        ArmPoll();
    }

    void Drain() override {
        TLoopLock lock(FLoop);
        if (FFailed || FDrainRequested)
            return;
        FDrainRequested = true;
        Feed();
        ArmPoll();
    }

    void Pause() override {
        TLoopLock lock(FLoop);
        if (FSilent)
            SilentAdvance(TClock::now());
        FPaused = true;
        if (FReady && !FFailed)
            Unref(pa_stream_cork(FStream, 1, nullptr, nullptr));
    }

    void Resume() override {
        TLoopLock lock(FLoop);
        if (FSilent)
            SilentAdvance(TClock::now());
        FPaused = false;
        FLastHeard = TClock::now(); // a corked stream hears nothing from the server
        if (FReady && !FFailed)
            Unref(pa_stream_cork(FStream, 0, nullptr, nullptr));
        ArmPoll();
    }

    bool IsPaused() const override {
        TLoopLock lock(FLoop);
        return FPaused;
    }

    uint64_t PlayedFrames() const override {
        TLoopLock lock(FLoop);
        return Played();
    }

    // Plays into nothing from now on. A stream that never played starts its
    // clock at its first write, so its timing is as if it had been heard.
    void GoSilent() {
        if (FSilent || FFailed)
            return;
        const auto now = TClock::now();
        const bool neverPlayed = !FReady;
        const uint64_t played = Played();
        Detach();
        FSilent = true;
        FWaitingForContext = false;
        FPending.clear();
        FPendingStart = 0;
        FSilentPlayed = played;
        FSilentSince = neverPlayed && FFirstWrite ? *FFirstWrite : now;
        Poll();
        ArmPoll();
    }

private:
    static void OnState(pa_stream* stream, void* userdata) {
        auto* self = static_cast<TPulseAudioStream*>(userdata);
        pa_threaded_mainloop_signal(self->FLoop, 0);
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY && !self->FReady) {
            self->FReady = true;
            self->FLastHeard = TClock::now();
            self->FOutput.Answered();
            if (self->FPaused)
                Unref(pa_stream_cork(stream, 1, nullptr, nullptr));
            self->Feed();
            self->ArmPoll();
        } else if (!PA_STREAM_IS_GOOD(state)) {
            if (self->FReady)
                self->Fail(pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
            else
                self->GoSilent(); // refused: it plays into nothing
        }
    }

    static void OnWriteRequest(pa_stream*, size_t, void* userdata) {
        auto* self = static_cast<TPulseAudioStream*>(userdata);
        self->Heard();
        self->Feed();
    }

    static void OnHeard(pa_stream*, void* userdata) { static_cast<TPulseAudioStream*>(userdata)->Heard(); }

    static void OnTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
        auto* self = static_cast<TPulseAudioStream*>(userdata);
        self->FTimerArmed = false;
        self->Watch();
        self->Poll();
        self->ArmPoll();
    }

    static void OnDrained(pa_stream*, int success, void* userdata) {
        auto* self = static_cast<TPulseAudioStream*>(userdata);
        pa_operation_unref(self->FDrainOp);
        self->FDrainOp = nullptr;
        if (!success)
            return;
        self->Heard();
        self->FDrainAcked = true;
        self->Poll();
    }

    void Heard() {
        FLastHeard = TClock::now();
        FOutput.Answered();
    }

    // Goes silent when the server does not set the stream up in time, or
    // stops answering while the stream plays and waits for it.
    void Watch() {
        if (FSilent || FFailed || FWaitingForContext)
            return; // the connection's own timeout settles a waiting stream
        const auto now = TClock::now();
        if (!FReady) {
            if (FAsked && MsSince(*FAsked, now) >= TPulseAudioOutput::RequestTimeoutMs) {
                FOutput.NotAnswering();
                GoSilent();
            }
            return;
        }
        if (FPaused || !Waiting()) {
            FLastHeard = now;
            return;
        }
        const double quiet = MsSince(FLastHeard, now);
        if (quiet >= TPulseAudioOutput::RequestTimeoutMs) {
            FOutput.NotAnswering();
            GoSilent();
        } else if (quiet >= ProbeAfterMs && !FProbe) {
            FProbe = pa_stream_update_timing_info(
                FStream,
                [](pa_stream*, int, void* userdata) {
                    auto* self = static_cast<TPulseAudioStream*>(userdata);
                    Unref(self->FProbe);
                    self->FProbe = nullptr;
                    self->Heard();
                },
                this);
        }
    }

    bool Waiting() const { return !FFailed && (!FMarks.empty() || (FDrainRequested && !FDrainReported)); }

    // The poll runs while marks or the drain wait, and while the stream is
    // not yet set up (to see that it takes too long).
    void ArmPoll() {
        const bool settingUp = !FReady && !FSilent && !FFailed;
        if (FTimerArmed || !FTimer || (!Waiting() && !settingUp))
            return;
        ArmTimer(FLoop, FTimer, PollIntervalUsec);
        FTimerArmed = true;
    }

    // Lets the server's stream go: silent at once, what it holds dropped.
    void Detach() {
        Cancel(FDrainOp);
        Cancel(FProbe);
        if (FStream) {
            pa_stream_set_state_callback(FStream, nullptr, nullptr);
            pa_stream_set_write_callback(FStream, nullptr, nullptr);
            pa_stream_set_latency_update_callback(FStream, nullptr, nullptr);
            if (pa_stream_get_state(FStream) == PA_STREAM_READY) {
                Unref(pa_stream_cork(FStream, 1, nullptr, nullptr));
                Unref(pa_stream_flush(FStream, nullptr, nullptr));
            }
            if (PA_STREAM_IS_GOOD(pa_stream_get_state(FStream)))
                pa_stream_disconnect(FStream);
            pa_stream_unref(FStream);
            FStream = nullptr;
        }
        if (FContext)
            pa_context_unref(FContext);
        FContext = nullptr;
        FReady = false;
    }

    // Hands the server as much of our buffer as it asks for; asks for the
    // drain once everything has been handed over.
    void Feed() {
        if (!FReady || FFailed || FSilent)
            return;
        const size_t frameBytes = 2 * static_cast<size_t>(FChannels);
        while (FPendingStart < FPending.size()) {
            const size_t writable = pa_stream_writable_size(FStream);
            if (writable == static_cast<size_t>(-1) || writable < frameBytes)
                break;
            size_t bytes = std::min(writable, (FPending.size() - FPendingStart) * 2);
            bytes -= bytes % frameBytes;
            if (bytes == 0 ||
                pa_stream_write(FStream, FPending.data() + FPendingStart, bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                break;
            FPendingStart += bytes / 2;
        }
        if (FPendingStart >= FPending.size()) {
            FPending.clear();
            FPendingStart = 0;
        } else if (FPendingStart > (1u << 16) && FPendingStart * 2 > FPending.size()) {
            FPending.erase(FPending.begin(), FPending.begin() + static_cast<std::ptrdiff_t>(FPendingStart));
            FPendingStart = 0;
        }
        if (FDrainRequested && FPending.empty() && !FDrainOp && !FDrainAcked)
            FDrainOp = pa_stream_drain(FStream, &TPulseAudioStream::OnDrained, this);
    }

    // The silent clock up to `now`: it runs while audio is queued and the
    // stream is not paused, as a sound card's would.
    void SilentAdvance(TClock::time_point now) const {
        if (FPaused || FSilentPlayed >= FWritten || now <= FSilentSince) {
            if (now > FSilentSince)
                FSilentSince = now;
            return;
        }
        const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - FSilentSince).count();
        const uint64_t frames = static_cast<uint64_t>(elapsed) * static_cast<uint64_t>(FRate) / 1'000'000'000u;
        if (FSilentPlayed + frames >= FWritten) {
            FSilentPlayed = FWritten;
            FSilentSince = now;
        } else {
            FSilentPlayed += frames;
            FSilentSince += std::chrono::nanoseconds(frames * 1'000'000'000u / static_cast<uint64_t>(FRate));
        }
    }

    // Frames heard so far: the server's playback time, which already allows
    // for the sink's latency, interpolated between its timing reports; or the
    // silent clock.
    uint64_t Played() const {
        if (FSilent) {
            SilentAdvance(TClock::now());
            FPlayed = std::max(FPlayed, FSilentPlayed);
            if (FDrainRequested && FSilentPlayed >= FWritten)
                FDrainAcked = true;
            return FPlayed;
        }
        pa_usec_t usec = 0;
        if (FReady && !FFailed && pa_stream_get_time(FStream, &usec) >= 0) {
            const uint64_t frames = std::min<uint64_t>(usec * static_cast<uint64_t>(FRate) / 1'000'000u, FWritten);
            FPlayed = std::max(FPlayed, frames);
        }
        // Once the server has confirmed the drain, everything written was
        // played, whatever the last timing update said.
        if (FDrainAcked)
            FPlayed = FWritten;
        return FPlayed;
    }

    // Reports the marks playback has reached and, after the drain is
    // confirmed (all audio played), the rest of them and the drain.
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
            pa_threaded_mainloop_get_api(FLoop)->time_restart(FTimer, nullptr);
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
    const int FDeviceIndex; // in the output's sink list; negative: the default
    const std::shared_ptr<TEventSink> FSink;
    pa_context* FContext = nullptr;
    pa_stream* FStream = nullptr;
    pa_time_event* FTimer = nullptr;
    pa_operation* FDrainOp = nullptr;
    pa_operation* FProbe = nullptr;
    std::vector<int16_t> FPending; // written, not yet handed to the server
    size_t FPendingStart = 0;
    uint64_t FWritten = 0;                            // frames
    mutable uint64_t FPlayed = 0;                     // frames; never goes back
    std::deque<std::pair<uint64_t, uint64_t>> FMarks; // (frame position, mark)
    std::optional<TClock::time_point> FFirstWrite, FAsked;
    TClock::time_point FLastHeard = TClock::now();
    bool FWaitingForContext = false;
    bool FReady = false, FFailed = false, FPaused = false, FTimerArmed = false;
    bool FDrainRequested = false, FDrainReported = false;
    mutable bool FDrainAcked = false;
    // The silent clock: frames played as of FSilentSince.
    bool FSilent = false;
    mutable uint64_t FSilentPlayed = 0;
    mutable TClock::time_point FSilentSince{};
};

} // namespace

void TPulseAudioOutput::TImpl::ConnectWaiting() {
    for (TPulseAudioStream* stream : std::exchange(Waiting, {}))
        stream->Connect(Context);
}

void TPulseAudioOutput::TImpl::SilenceWaiting() {
    for (TPulseAudioStream* stream : std::exchange(Waiting, {}))
        stream->GoSilent();
}

TPulseAudioOutput::TPulseAudioOutput(const std::string& applicationName)
    : FImpl(std::make_unique<TImpl>(applicationName)) {}

TPulseAudioOutput::~TPulseAudioOutput() = default;

std::vector<TAudioDeviceInfo> TPulseAudioOutput::OutputDeviceInfos() {
    TLoopLock lock(FImpl->Loop);
    FImpl->StartConnecting();
    FImpl->AwaitFirstOutcome();
    if (!FImpl->Ready() || !FImpl->SinksKnown)
        return {};
    return FImpl->Sinks;
}

std::vector<std::string> TPulseAudioOutput::OutputDevices() {
    std::vector<std::string> names;
    for (TAudioDeviceInfo& device : OutputDeviceInfos())
        names.push_back(std::move(device.Name));
    return names;
}

bool TPulseAudioOutput::ServerNotAnswering() const { return FImpl->Hung; }

void TPulseAudioOutput::SetOnDevicesChanged(std::function<void()> handler) {
    const bool listen = static_cast<bool>(handler);
    {
        std::lock_guard lock(FImpl->HandlerMutex);
        FImpl->OnDevicesChanged = std::move(handler);
    }
    if (!listen)
        return; // taking the handler back needs no server
    TLoopLock lock(FImpl->Loop);
    FImpl->StartConnecting();
}

std::unique_ptr<IAudioStream> TPulseAudioOutput::OpenStream(int deviceIndex, const TAudioFormat& format,
                                                            TAudioStreamEvents events) {
    {
        TLoopLock lock(FImpl->Loop);
        FImpl->StartConnecting();
        if (FImpl->Context && !FImpl->ContextLost && !FImpl->Hung) {
            // Streams are set up once the device list is known.
            const bool ready = FImpl->Ready() && FImpl->SinksKnown;
            if (ready && deviceIndex >= 0 && !FImpl->Sinks.empty() &&
                static_cast<size_t>(deviceIndex) >= FImpl->Sinks.size())
                throw EParlinoError("Sound device " + std::to_string(deviceIndex) + " does not exist.");
            auto stream = std::make_unique<TPulseAudioStream>(*FImpl, format, std::move(events), deviceIndex);
            if (ready)
                stream->Connect(FImpl->Context);
            else
                stream->AwaitContext();
            return stream;
        }
    }
    return std::make_unique<TRealtimeNullAudioStream>(format, std::move(events));
}

} // namespace parlino
