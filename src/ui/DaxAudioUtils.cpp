#include "ui/DaxAudioUtils.h"

#include <cstring>

namespace parlino {

namespace {

// The product name up to its first zero byte, all 32 bytes when there is none.
std::string ProductName(const TWaveOutCapsA& caps) {
    const void* zero = std::memchr(caps.ProductName, 0, sizeof caps.ProductName);
    const size_t length =
        zero ? static_cast<size_t>(static_cast<const char*>(zero) - caps.ProductName)
             : sizeof caps.ProductName;
    return std::string(caps.ProductName, length);
}

const char* ErrorText(MMRESULT code) {
    switch (code) {
    case MMSYSERR_BADDEVICEID:
        return "Specified device identifier is out of range.";
    case MMSYSERR_NODRIVER:
        return "No device driver is present.";
    case MMSYSERR_NOMEM:
        return "Unable to allocate or lock memory.";
    default:
        return "Unknown error.";
    }
}

} // namespace

int GetSoundCardList(IWaveOut& waveOut, std::vector<std::string>& list, bool output) {
    int result = -1;
    const uint32_t count = output ? waveOut.WaveOutGetNumDevs() : 0;
    list.clear();
    if (count == 0)
        return result;

    // A failed mapper query leaves the record undefined; it counts as an
    // empty default name.
    TWaveOutCapsA caps{};
    std::string defaultName;
    if (waveOut.WaveOutGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps) == MMSYSERR_NOERROR)
        defaultName = ProductName(caps);

    list.push_back("(default)");
    for (uint32_t device = 0; device < count; ++device) {
        const MMRESULT code = waveOut.WaveOutGetDevCapsA(device, &caps, sizeof caps);
        std::string text = code == MMSYSERR_NOERROR ? ProductName(caps) : ErrorText(code);
        if (text == defaultName)
            result = static_cast<int>(device);
        list.push_back(std::move(text));
    }
    if (result == -1)
        result = 0;
    return result;
}

std::vector<std::string> GetSoundCardIds(IWaveOut& waveOut, const std::vector<std::string>& list) {
    std::vector<std::string> ids;
    if (list.empty())
        return ids;
    ids.emplace_back(); // "(default)"
    for (uint32_t device = 0; device + 1 < list.size(); ++device)
        ids.push_back(waveOut.WaveOutGetInstanceId(device));
    return ids;
}

} // namespace parlino
