#pragma once
// The wave-out device enumeration over the audio output layer's device list.

#include "platform/IAudioOutput.h"
#include "platform/ITextCodec.h"
#include "platform/IWaveOut.h"

#include <string>
#include <vector>

namespace parlino {

// Device d is entry d of IAudioOutput::OutputDevices(), so wave-out numbers
// and audio output indices agree. Names are converted from the server's UTF-8
// to the system ANSI code page (when a codec is given) and cut to 31 bytes
// plus the terminating zero, as a capability record holds them.
class TPulseWaveOut final : public IWaveOut {
public:
    // The wave mapper's name; no server device is called so.
    static constexpr const char* MapperName = "Default output device";

    // `codec` may be null: names then stay UTF-8, cut at a character boundary.
    explicit TPulseWaveOut(IAudioOutput& output, const ITextCodec* codec = nullptr);

    // Reads the device list afresh; the queries that follow use this reading,
    // so that numbers stay consistent while a list is filled.
    uint32_t WaveOutGetNumDevs() override;
    // Uses the reading of the last WaveOutGetNumDevs (taking one if none).
    MMRESULT WaveOutGetDevCapsA(uint32_t deviceId, TWaveOutCapsA* caps, uint32_t capsSize) override;
    // The device's identity in the output layer (the sink's name).
    std::string WaveOutGetInstanceId(uint32_t deviceId) override;
    bool ServerNotAnswering() override { return FOutput.ServerNotAnswering(); }
    // The output layer's news of devices added or removed.
    void SetOnDevicesChanged(std::function<void()> handler) override {
        FOutput.SetOnDevicesChanged(std::move(handler));
    }

    // `name` as the record holds it: ANSI (or UTF-8) text of at most 31 bytes.
    std::string RecordName(const std::string& utf8Name) const;

private:
    IAudioOutput& FOutput;
    const ITextCodec* FCodec;
    std::vector<TAudioDeviceInfo> FDevices;
    bool FRead = false;
};

} // namespace parlino
