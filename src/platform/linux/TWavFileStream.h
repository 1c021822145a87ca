#pragma once
// The file stream of the modern voice API: a 16-bit mono PCM WAV file that a
// voice writes into instead of a sound device.

#include "speech/SpeechLib_TLB.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace parlino {

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::u16string_view wide);

class TWavFileStream final : public ISpeechFileStream {
public:
    explicit TWavFileStream(int sampleRate = 22050) : FSampleRate(sampleRate) {}
    ~TWavFileStream() override;
    TWavFileStream(const TWavFileStream&) = delete;
    TWavFileStream& operator=(const TWavFileStream&) = delete;

    // SSFMCreateForWrite (3) and SSFMCreate (2) create the file or truncate
    // it; other modes throw EParlinoError, an unopenable file EFOpenError.
    // doEvents is accepted and ignored. An open stream is closed first.
    void Open(const WideString& fileName, int32_t fileMode, bool doEvents) override;
    // Writes the final header and closes the file; does nothing when closed.
    void Close() override;

    bool IsOpen() const { return FFile != nullptr; }
    // The rate written into the header; set before the first samples.
    int SampleRate() const { return FSampleRate; }
    void SetSampleRate(int sampleRate) { FSampleRate = sampleRate; }
    // Appends mono samples; does nothing when closed.
    void Write(const int16_t* samples, size_t count);
    // Brings the header up to date and hands the data to the file system,
    // so the file is a valid WAV file while it stays open.
    void Flush();
    uint64_t SamplesWritten() const { return FSamples; }

private:
    void WriteHeader();

    std::FILE* FFile = nullptr;
    int FSampleRate;
    uint64_t FSamples = 0;
};

} // namespace parlino
