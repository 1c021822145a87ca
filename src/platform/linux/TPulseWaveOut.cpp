#include "platform/linux/TPulseWaveOut.h"

#include <algorithm>
#include <cstring>

namespace parlino {

namespace {

constexpr size_t NameBytes = sizeof(TWaveOutCapsA::ProductName) - 1;

// UTF-8 to UTF-16; malformed bytes become U+FFFD.
std::u16string Utf8ToWide(const std::string& text) {
    std::u16string wide;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80         ? 0
                          : (lead >> 5) == 6  ? 1
                          : (lead >> 4) == 14 ? 2
                          : (lead >> 3) == 30 ? 3
                                              : -1;
        char32_t code = extra == 0   ? lead
                        : extra == 1 ? lead & 0x1Fu
                        : extra == 2 ? lead & 0x0Fu
                                     : lead & 0x07u;
        bool valid = extra >= 0 && i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                valid = false;
            else
                code = (code << 6) | (next & 0x3Fu);
        }
        if (!valid || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
            wide.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        i += static_cast<size_t>(extra) + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            wide.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(code));
        }
    }
    return wide;
}

} // namespace

TPulseWaveOut::TPulseWaveOut(IAudioOutput& output, const ITextCodec* codec)
    : FOutput(output), FCodec(codec) {}

uint32_t TPulseWaveOut::WaveOutGetNumDevs() {
    FDevices = FOutput.OutputDeviceInfos();
    FRead = true;
    return static_cast<uint32_t>(FDevices.size());
}

std::string TPulseWaveOut::WaveOutGetInstanceId(uint32_t deviceId) {
    if (!FRead)
        WaveOutGetNumDevs();
    return deviceId < FDevices.size() ? FDevices[deviceId].Id : std::string();
}

std::string TPulseWaveOut::RecordName(const std::string& utf8Name) const {
    if (FCodec) {
        std::string ansi = FCodec->ToAnsi(Utf8ToWide(utf8Name));
        if (ansi.size() > NameBytes)
            ansi.resize(NameBytes);
        return ansi;
    }
    size_t length = std::min(utf8Name.size(), NameBytes);
    // Do not leave half a character behind.
    if (length < utf8Name.size())
        while (length > 0 && (static_cast<unsigned char>(utf8Name[length]) & 0xC0) == 0x80)
            --length;
    return utf8Name.substr(0, length);
}

MMRESULT TPulseWaveOut::WaveOutGetDevCapsA(uint32_t deviceId, TWaveOutCapsA* caps,
                                           uint32_t capsSize) {
    if (!caps)
        return MMSYSERR_INVALPARAM;
    if (!FRead)
        WaveOutGetNumDevs();
    std::string name;
    if (deviceId == WAVE_MAPPER)
        name = MapperName;
    else if (deviceId < FDevices.size())
        name = RecordName(FDevices[deviceId].Name);
    else
        return MMSYSERR_BADDEVICEID;

    TWaveOutCapsA record{};
    record.DriverVersion = 0x0100;
    std::memcpy(record.ProductName, name.data(), std::min(name.size(), NameBytes));
    record.Formats = 0x000FFFFF; // every standard rate, mono and stereo, 8 and 16 bits
    record.Channels = 2;
    record.Support = 0x000C; // volume and left/right volume
    std::memcpy(caps, &record, std::min<size_t>(capsSize, sizeof record));
    return MMSYSERR_NOERROR;
}

} // namespace parlino
