#pragma once
// The WAV file a voice-over track goes to, put in place only once complete
// (see TPartialFile).

#include "platform/linux/TWavFileStream.h"
#include "render/TPartialFile.h"

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
    TPartialFile FFile;
    TWavFileStream FWav;
    bool FOpen = false;
};

} // namespace parlino
