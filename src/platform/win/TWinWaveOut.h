#pragma once
#include "platform/IWaveOut.h"

namespace parlino {

// The multimedia functions' wave-out devices. Windows sends no notice when
// devices come or go, so no handler is ever called.
class TWinWaveOut final : public IWaveOut {
public:
    uint32_t WaveOutGetNumDevs() override;
    MMRESULT WaveOutGetDevCapsA(uint32_t deviceId, TWaveOutCapsA* caps, uint32_t capsSize) override;
};

} // namespace parlino
