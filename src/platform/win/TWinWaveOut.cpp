#include "platform/win/TWinWaveOut.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstring>

namespace parlino {

static_assert(sizeof(WAVEOUTCAPSA) == sizeof(TWaveOutCapsA), "the records are the same");

uint32_t TWinWaveOut::WaveOutGetNumDevs() {
    return ::waveOutGetNumDevs();
}

MMRESULT TWinWaveOut::WaveOutGetDevCapsA(uint32_t deviceId, TWaveOutCapsA* caps,
                                         uint32_t capsSize) {
    if (!caps)
        return MMSYSERR_INVALPARAM;
    WAVEOUTCAPSA record{};
    const MMRESULT result = ::waveOutGetDevCapsA(deviceId, &record, sizeof record);
    if (result == MMSYSERR_NOERROR)
        std::memcpy(caps, &record, std::min<size_t>(capsSize, sizeof record));
    return result;
}

} // namespace parlino
