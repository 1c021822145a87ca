#pragma once
// The audio output layer over the sound server (PulseAudio's asynchronous API
// on a threaded main loop; PipeWire serves the same API).

#include "platform/IAudioOutput.h"

#include <memory>
#include <string>

namespace parlino {

// One server connection, made at construction and made again after the
// server went away. No call waits on the server (only the first reading of
// the device list waits for the first answer, at most StartupWaitMs after
// construction): connecting, listing the devices and opening streams all run
// on the main loop's thread, and the calls work with what is known. A server
// that does not answer a request within RequestTimeoutMs counts as hung
// (ServerNotAnswering) until it answers again: streams opened meanwhile play
// into nothing on a real-time clock, and a stream whose server stops
// answering while it plays goes on that way from where it stood.
//
// Threads: the calls may come from any thread except the layer's own. The
// streams' events are called on one event thread of this output, in order,
// with no lock of the layer held, so they may call into their stream (and may
// destroy it). The output must outlive its streams and must not be destroyed
// from within an event.
class TPulseAudioOutput final : public IAudioOutput {
public:
    // A connection the server has not accepted by then is given up.
    static constexpr int ConnectTimeoutMs = 1000;
    // After a failed attempt the next one waits this long (RetryAfterHangMs
    // when the attempt timed out); meanwhile the layer behaves as without
    // server.
    static constexpr int RetryDelayMs = 300;
    static constexpr int RetryAfterHangMs = 3000;
    // A request (the device list, a new stream, the timing of a playing
    // stream) unanswered this long: the server hangs.
    static constexpr int RequestTimeoutMs = 1000;
    // The most the first reading of the device list waits for the server's
    // first answer, counted from construction.
    static constexpr int StartupWaitMs = 250;
    // The latency asked of the server for each stream: the time from Write to
    // sound, and the most that plays on after Pause or the stream's end.
    static constexpr int TargetLatencyMs = 20;

    // `applicationName` names the client in the server's lists. The server
    // address is the library's usual one (PULSE_SERVER, then the user's).
    explicit TPulseAudioOutput(const std::string& applicationName = "Parlino");
    ~TPulseAudioOutput() override;

    // The descriptions of the server's sinks, in the server's order, as last
    // read (the server reports every change); empty without a server.
    std::vector<std::string> OutputDevices() override;
    // The same with each sink's name as its identity.
    std::vector<TAudioDeviceInfo> OutputDeviceInfos() override;
    // Returns at once. Without a reachable server, or while it hangs, the
    // stream plays into nothing on a real-time clock (any index is accepted
    // then); so does a stream the server refuses or does not set up in time,
    // counting from its first write. With a known device list, an index
    // beyond it throws EParlinoError. A stream that fails later (the server
    // dies, the sink is removed) reports OnFailed once and then nothing.
    std::unique_ptr<IAudioStream> OpenStream(int deviceIndex, const TAudioFormat& format,
                                             TAudioStreamEvents events) override;
    // Called, on the main loop's thread or inside one of these calls, with
    // the loop's lock held, when the device list was read anew after a sink
    // was added or removed, when the server was lost or reached again, and
    // when it stops or starts answering.
    void SetOnDevicesChanged(std::function<void()> handler) override;
    bool ServerNotAnswering() const override;

    struct TImpl;

private:
    std::unique_ptr<TImpl> FImpl;
};

} // namespace parlino
