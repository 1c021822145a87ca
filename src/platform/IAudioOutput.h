#pragma once
// The sound devices behind both speech engines: open a device, write PCM,
// pause, resume, stop, and learn when the listener has heard a given point.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace parlino {

// Signed 16-bit little-endian PCM, interleaved.
struct TAudioFormat {
    int SampleRate = 22050;
    int Channels = 1;
};

// Called on the audio layer's own thread (never inside a call of the stream
// itself), in order, with no lock of the layer held: an event may call into
// its stream. A consumer that needs the program's thread posts onwards.
struct TAudioStreamEvents {
    // Playback has reached the sample position at which `mark` was written.
    std::function<void(uint64_t mark)> OnMarkPlayed;
    // Everything written before Drain has been played.
    std::function<void()> OnDrained;
    // The device went away or the server died; the stream is dead and will
    // report nothing else. Marks and the drain not yet reported are lost.
    std::function<void(const std::string& reason)> OnFailed;
};

class IAudioStream {
public:
    virtual ~IAudioStream() = default; // stops playback at once and drops what is queued
    // Queues samples (frames x channels values). Never blocks for long:
    // the stream buffers whatever it is given.
    virtual void Write(const int16_t* samples, size_t count) = 0;
    // Queues a mark at the current end of the written audio.
    virtual void Mark(uint64_t mark) = 0;
    // No more audio follows; OnDrained fires once the last sample is played
    // (at once when nothing was written). Write and Mark after it are ignored.
    virtual void Drain() = 0;
    // Silences playback within a few milliseconds, keeping the queued audio.
    virtual void Pause() = 0;
    // Continues where Pause stopped.
    virtual void Resume() = 0;
    virtual bool IsPaused() const = 0;
    // Samples per channel the listener has heard so far.
    virtual uint64_t PlayedFrames() const = 0;
};

// One output device: Id names it for good (the sound server's own name of
// it, which no other device has), Name is what the user reads.
struct TAudioDeviceInfo {
    std::string Id;
    std::string Name;
    bool operator==(const TAudioDeviceInfo&) const = default;
};

class IAudioOutput {
public:
    virtual ~IAudioOutput() = default;
    // Output device names in the sound server's order; empty without a server.
    virtual std::vector<std::string> OutputDevices() = 0;
    // The same devices in the same order, each with its identity. A layer
    // without identities of its own uses the names.
    virtual std::vector<TAudioDeviceInfo> OutputDeviceInfos() {
        std::vector<TAudioDeviceInfo> devices;
        for (std::string& name : OutputDevices()) devices.push_back({name, name});
        return devices;
    }
    // The sound server is there but has stopped answering: streams opened
    // now play into nothing on a real-time clock, as without a server, and
    // the devices stay listed as they were. The devices' news handler is
    // called when this changes.
    virtual bool ServerNotAnswering() const { return false; }
    // Opens device `deviceIndex` of OutputDevices (negative: the default
    // device). Without any device the stream plays into nothing on a
    // real-time clock, so that its marks and drain still arrive in time.
    // An index beyond the list throws EParlinoError.
    virtual std::unique_ptr<IAudioStream> OpenStream(int deviceIndex, const TAudioFormat& format,
                                                     TAudioStreamEvents events) = 0;
    // `handler` (null: none) is called whenever output devices may have been
    // added or removed. It runs on the layer's own thread, or on a caller's
    // inside one of the layer's calls, so it must only hand the news on (post
    // it), never call back into the layer. Once this returns
    // with another handler, the old one is not running and is not called again.
    // A layer that learns nothing of changes never calls it.
    virtual void SetOnDevicesChanged(std::function<void()> handler) { (void)handler; }
};

} // namespace parlino
