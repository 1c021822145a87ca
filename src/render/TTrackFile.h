#pragma once
// The WAV file a voice-over track goes to. A regular file (or a new one) is
// written under a temporary name beside it, "NAME.partial-PID", and renamed
// to NAME only once every byte of it has reached the disk: a full disk, a
// pulled USB stick, a failed render or a kill never leave a file under NAME
// that looks finished, and a file that was there before stays as it was. A
// device or a pipe (/dev/null, a FIFO an encoder reads) has nothing to
// rename into and is written as it is.

#include "platform/linux/TWavFileStream.h"

#include <cstdint>
#include <string>

namespace parlino {

class TTrackFile {
public:
    // `fileName` as the user gave it; messages name it so.
    explicit TTrackFile(std::string fileName);
    ~TTrackFile(); // discards the file unless it was committed
    TTrackFile(const TTrackFile&) = delete;
    TTrackFile& operator=(const TTrackFile&) = delete;

    // Throws EFOpenError "Cannot open file "NAME". reason".
    void Open(int sampleRate);
    // Appends mono samples. Throws EParlinoError "Cannot write file "NAME".
    // reason" when they could not all be written; nothing is written after.
    void Write(const int16_t* samples, size_t count);
    // Writes the final header, closes the file to the disk and puts it in
    // place. Throws as Write does, having discarded the file.
    void Commit();
    // Closes the file and removes what was written under the temporary name
    // (a device or pipe is only closed). Does nothing once committed.
    void Discard();

private:
    [[noreturn]] void ThrowWriteError(int error) const;

    std::string FFileName; // as given
    std::string FTarget;   // the file the name leads to, links followed
    std::string FTemp;     // empty: written in place
    TWavFileStream FWav;
    bool FOpen = false;
};

} // namespace parlino
