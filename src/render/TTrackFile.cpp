#include "render/TTrackFile.h"

#include "platform/Exceptions.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace parlino {

TTrackFile::TTrackFile(std::string fileName) : FFileName(fileName), FFile(std::move(fileName)) {}

TTrackFile::~TTrackFile() {
    Discard();
}

void TTrackFile::Open(int sampleRate) {
    FWav.SetSampleRate(sampleRate);
    const int fd = FFile.Create();
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        ::close(fd);
        FFile.Discard();
        throw EFOpenError("Cannot open file \"" + FFileName + "\". " + std::strerror(error));
    }
    FWav.Adopt(file);
    FOpen = true;
}

void TTrackFile::ThrowWriteError(int error) const {
    throw EParlinoError("Cannot write file \"" + FFileName + "\". " + std::strerror(error));
}

void TTrackFile::Write(const int16_t* samples, size_t count) {
    FWav.Write(samples, count);
    if (FWav.Error() != 0)
        ThrowWriteError(FWav.Error());
}

void TTrackFile::Commit() {
    if (!FOpen)
        return;
    FWav.CloseToDisk();
    int error = FWav.Error();
    if (error == 0)
        error = FFile.Commit();
    if (error != 0) {
        Discard();
        ThrowWriteError(error);
    }
    FOpen = false;
}

void TTrackFile::Discard() {
    if (!FOpen)
        return;
    FWav.Close();
    FFile.Discard();
    FOpen = false;
}

} // namespace parlino
