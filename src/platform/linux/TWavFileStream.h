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
    // Takes `file`, open for writing at its start, as the stream's file and
    // writes the header; an open stream is closed first. The stream closes it.
    void Adopt(std::FILE* file);
    // Writes the final header and closes the file; does nothing when closed.
    void Close() override;
    // Close, after handing everything to the disk itself (fsync), so that a
    // disk that fails late (a pulled stick, a full network share) shows in
    // Error() now. A device or pipe, which has no such step, is just closed.
    void CloseToDisk();

    // The errno of the first write, seek, flush or close that failed since
    // Open (ENOSPC for a full disk, EIO for a vanished one), 0 while all
    // went well. Nothing is written after a failure: the file is unfinished.
    int Error() const { return FError; }

    bool IsOpen() const { return FFile != nullptr; }
    // The rate written into the header; set before the first samples.
    int SampleRate() const { return FSampleRate; }
    void SetSampleRate(int sampleRate) { FSampleRate = sampleRate; }
    // Appends mono samples; does nothing when closed or after a failure.
    void Write(const int16_t* samples, size_t count);
    // Brings the header up to date and hands the data to the file system,
    // so the file is a valid WAV file while it stays open. A file that
    // cannot seek (a pipe) keeps the header it began with.
    void Flush();
    uint64_t SamplesWritten() const { return FSamples; }

private:
    void WriteHeader();
    void Fail(int error);
    void CloseFile(bool toDisk);

    std::FILE* FFile = nullptr;
    int FSampleRate;
    uint64_t FSamples = 0;
    int FError = 0;
};

} // namespace parlino
