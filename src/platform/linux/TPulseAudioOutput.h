#pragma once
// The audio output layer over the sound server (PulseAudio's asynchronous API
// on a threaded main loop; PipeWire serves the same API).

#include "platform/IAudioOutput.h"

#include <memory>
#include <string>

namespace parlino {

// One server connection, made on first use and made again after the server
// went away. Every call returns within about a second even when the server
// is missing or hangs: a connect attempt is bounded by ConnectTimeoutMs, and
// after a failed attempt the next one waits for RetryDelayMs (RetryAfterHangMs
// when the attempt timed out), meanwhile the layer behaves as without server.
//
// Threads: the calls may come from any thread except the layer's own. The
// streams' events are called on one event thread of this output, in order,
// with no lock of the layer held, so they may call into their stream (and may
// destroy it). The output must outlive its streams and must not be destroyed
// from within an event.
class TPulseAudioOutput final : public IAudioOutput {
public:
    static constexpr int ConnectTimeoutMs = 1000;
    static constexpr int RetryDelayMs = 300;
    static constexpr int RetryAfterHangMs = 3000;
    // The latency asked of the server for each stream: the time from Write to
    // sound, and the most that plays on after Pause or the stream's end.
    static constexpr int TargetLatencyMs = 20;

    // `applicationName` names the client in the server's lists. The server
    // address is the library's usual one (PULSE_SERVER, then the user's).
    explicit TPulseAudioOutput(const std::string& applicationName = "Parlino");
    ~TPulseAudioOutput() override;

    // The descriptions of the server's sinks, in the server's order.
    std::vector<std::string> OutputDevices() override;
    // Without a reachable server, or when the server refuses the stream, the
    // stream returned plays into nothing on a real-time clock (any index is
    // accepted then). With a server, an index beyond its sink list throws
    // EParlinoError. A stream that fails later (the server dies, the sink is
    // removed) reports OnFailed once and then nothing; the next OpenStream
    // reconnects.
    std::unique_ptr<IAudioStream> OpenStream(int deviceIndex, const TAudioFormat& format,
                                             TAudioStreamEvents events) override;
    // The server reports each sink added or removed; the loss of the server
    // and a reconnection count as changes too. The handler runs on the main
    // loop's thread, or for a reconnection inside the call that made it, with
    // the loop's lock held. Setting one connects when there is no
    // connection yet, so that the news flows from then on.
    void SetOnDevicesChanged(std::function<void()> handler) override;

    struct TImpl;

private:
    std::unique_ptr<TImpl> FImpl;
};

} // namespace parlino
