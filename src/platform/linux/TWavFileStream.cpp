#include "platform/linux/TWavFileStream.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace parlino {

std::string WideToUtf8(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        uint32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {

void PutLE(unsigned char* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

} // namespace

TWavFileStream::~TWavFileStream() {
    Close();
}

void TWavFileStream::Open(const WideString& fileName, int32_t fileMode, bool) {
    if (fileMode != SSFMCreateForWrite && fileMode != 2)
        throw EParlinoError("The file stream can only create files for writing.");
    Close();
    const std::string name = WideToUtf8(fileName);
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file)
        throw EFOpenError("Cannot open file \"" + name + "\". " + std::strerror(errno));
    Adopt(file);
}

void TWavFileStream::Adopt(std::FILE* file) {
    Close();
    FFile = file;
    FSamples = 0;
    FError = 0;
    WriteHeader(); // at the start: no seek, so a pipe takes it too
}

void TWavFileStream::Fail(int error) {
    if (FError == 0)
        FError = error != 0 ? error : EIO;
}

void TWavFileStream::CloseFile(bool toDisk) {
    if (!FFile)
        return;
    Flush();
    // fsync fails with EINVAL where there is no disk to reach (a device, a
    // pipe); that is no failure of the file.
    if (toDisk && FError == 0 && ::fsync(fileno(FFile)) != 0 && errno != EINVAL)
        Fail(errno);
    if (std::fclose(FFile) != 0)
        Fail(errno);
    FFile = nullptr;
}

void TWavFileStream::Close() {
    CloseFile(false);
}

void TWavFileStream::CloseToDisk() {
    CloseFile(true);
}

void TWavFileStream::Write(const int16_t* samples, size_t count) {
    if (!FFile || count == 0 || FError != 0)
        return;
    // The file holds little-endian samples; this machine is little-endian.
    static_assert(std::endian::native == std::endian::little);
    const size_t written = std::fwrite(samples, sizeof(int16_t), count, FFile);
    FSamples += written;
    if (written < count)
        Fail(errno);
}

void TWavFileStream::Flush() {
    if (!FFile)
        return;
    if (FError == 0) {
        const long end = std::ftell(FFile);
        if (end >= 0) { // else a pipe: no going back to the header
            if (std::fseek(FFile, 0, SEEK_SET) != 0)
                Fail(errno);
            else
                WriteHeader();
            if (FError == 0 && std::fseek(FFile, end, SEEK_SET) != 0)
                Fail(errno);
        }
    }
    if (std::fflush(FFile) != 0)
        Fail(errno);
}

void TWavFileStream::WriteHeader() {
    // Sizes beyond what the 32-bit fields hold are capped.
    const uint64_t dataBytes = std::min<uint64_t>(FSamples * 2, 0xFFFFFFFFull - 36);
    unsigned char header[44] = {};
    std::memcpy(header, "RIFF", 4);
    PutLE(header + 4, uint32_t(36 + dataBytes), 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    PutLE(header + 16, 16, 4); // format chunk size
    PutLE(header + 20, 1, 2);  // PCM
    PutLE(header + 22, 1, 2);  // mono
    PutLE(header + 24, uint32_t(FSampleRate), 4);
    PutLE(header + 28, uint32_t(FSampleRate) * 2, 4); // bytes per second
    PutLE(header + 32, 2, 2);                         // block align
    PutLE(header + 34, 16, 2);                        // bits per sample
    std::memcpy(header + 36, "data", 4);
    PutLE(header + 40, uint32_t(dataBytes), 4);
    if (std::fwrite(header, 1, sizeof header, FFile) != sizeof header)
        Fail(errno);
}

} // namespace parlino
