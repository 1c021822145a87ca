#pragma once
// The wave-out device enumeration of the Windows multimedia functions, as the
// sound card list uses it: the number of output devices and the capability
// record of one device or of the wave mapper.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace parlino {

// The result codes of the multimedia functions. When the Windows headers have
// already defined them as macros, theirs are used.
using MMRESULT = uint32_t;
#ifndef MMSYSERR_NOERROR
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
#endif
#ifndef WAVE_MAPPER
// The device identifier of the wave mapper, (UINT)-1.
constexpr uint32_t WAVE_MAPPER = static_cast<uint32_t>(-1);
#endif

// The output capability record, byte for byte (52 bytes, packed as Windows
// lays it out). ProductName is ANSI text in the system code page; a name of
// exactly 32 bytes has no terminating zero.
struct TWaveOutCapsA {
    uint16_t ManufacturerId;
    uint16_t ProductId;
    uint32_t DriverVersion;
    char ProductName[32];
    uint32_t Formats;
    uint16_t Channels;
    uint16_t Reserved1;
    uint32_t Support;
};
static_assert(sizeof(TWaveOutCapsA) == 52, "the record is 52 bytes");
static_assert(offsetof(TWaveOutCapsA, ProductName) == 8, "the product name sits at byte 8");

class IWaveOut {
public:
    virtual ~IWaveOut() = default;
    // The number of output devices; 0 when there are none.
    virtual uint32_t WaveOutGetNumDevs() = 0;
    // Fills at most `capsSize` bytes of `caps` with the record of device
    // `deviceId` (0 .. WaveOutGetNumDevs() - 1, or WAVE_MAPPER). On failure the
    // record is left as it was and the code says why (MMSYSERR_BADDEVICEID for
    // an unknown device, MMSYSERR_INVALPARAM for a null record).
    virtual MMRESULT WaveOutGetDevCapsA(uint32_t deviceId, TWaveOutCapsA* caps,
                                        uint32_t capsSize) = 0;
    // The lasting identity of device `deviceId` of the last reading (where
    // Windows has one, its function instance identifier; here the sound
    // server's own name of it): unlike the product name, which is cut to 31
    // bytes, no two devices share it. Empty for an unknown device or where the
    // system has none.
    virtual std::string WaveOutGetInstanceId(uint32_t deviceId) {
        (void)deviceId;
        return {};
    }
    // The sound server is there but does not answer: what is played now is
    // not heard. The devices-changed handler is called when this changes.
    virtual bool ServerNotAnswering() { return false; }
    // `handler` (null: none) is called when output devices are added or
    // removed, on a thread of the sound layer or inside one of its calls: it
    // must only post the news to the program's thread. Once this returns, an old handler is not called.
    virtual void SetOnDevicesChanged(std::function<void()> handler) { (void)handler; }
};

} // namespace parlino
