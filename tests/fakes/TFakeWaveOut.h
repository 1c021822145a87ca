#pragma once
// Wave-out devices the test lists by hand; any query can be made to fail.

#include "platform/IWaveOut.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace parlino::test {

class TFakeWaveOut final : public IWaveOut {
public:
    struct TDevice {
        std::string Name;                   // copied into the record, up to 32 bytes
        MMRESULT Result = MMSYSERR_NOERROR; // what the query of this device returns
        std::string Id{};                   // its lasting identity; empty: the name
    };
    std::vector<TDevice> Devices;
    std::string MapperName = "Fake Sound Mapper";
    MMRESULT MapperResult = MMSYSERR_NOERROR;
    std::vector<uint32_t> Queries; // device identifiers in the order queried
    std::function<void()> OnDevicesChanged; // what the program set; the test calls it
    bool NotAnswering = false;              // the sound server hangs

    std::string WaveOutGetInstanceId(uint32_t deviceId) override {
        if (deviceId >= Devices.size()) return {};
        return Devices[deviceId].Id.empty() ? Devices[deviceId].Name : Devices[deviceId].Id;
    }
    bool ServerNotAnswering() override { return NotAnswering; }

    void SetOnDevicesChanged(std::function<void()> handler) override { OnDevicesChanged = std::move(handler); }

    uint32_t WaveOutGetNumDevs() override { return static_cast<uint32_t>(Devices.size()); }

    MMRESULT WaveOutGetDevCapsA(uint32_t deviceId, TWaveOutCapsA* caps,
                                uint32_t capsSize) override {
        Queries.push_back(deviceId);
        const bool mapper = deviceId == WAVE_MAPPER;
        if (!mapper && deviceId >= Devices.size())
            return MMSYSERR_BADDEVICEID;
        const MMRESULT result = mapper ? MapperResult : Devices[deviceId].Result;
        if (result != MMSYSERR_NOERROR) {
            // A failed query leaves the record undefined: fill it with junk
            // that looks like a name, so a caller that reads it anyway shows.
            std::memset(caps, 'J', std::min<size_t>(capsSize, sizeof(TWaveOutCapsA)));
            return result;
        }
        TWaveOutCapsA record{};
        const std::string& name = mapper ? MapperName : Devices[deviceId].Name;
        std::memcpy(record.ProductName, name.data(),
                    std::min(name.size(), sizeof record.ProductName));
        std::memcpy(caps, &record, std::min<size_t>(capsSize, sizeof record));
        return MMSYSERR_NOERROR;
    }
};

} // namespace parlino::test
