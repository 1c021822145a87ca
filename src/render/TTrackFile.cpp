#include "render/TTrackFile.h"

#include "platform/Exceptions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlino {
namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

TTrackFile::TTrackFile(std::string fileName) : FFileName(std::move(fileName)), FTarget(FFileName) {}

TTrackFile::~TTrackFile() {
    Discard();
}

void TTrackFile::Open(int sampleRate) {
    auto fail = [&](int error) {
        throw EFOpenError("Cannot open file \"" + FFileName + "\". " + std::strerror(error));
    };
    struct stat st {};
    if (::lstat(FFileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(FFileName.c_str(), resolved))
            FTarget = resolved;
    }
    const bool exists = ::stat(FTarget.c_str(), &st) == 0;
    FWav.SetSampleRate(sampleRate);
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or pipe: no rename, and a folder fails here as it should.
        std::FILE* file = std::fopen(FTarget.c_str(), "wb");
        if (!file)
            fail(errno);
        FTemp.clear();
        FWav.Adopt(file);
        FOpen = true;
        return;
    }
    // A file the user may not write stays as it is, as it would without the
    // rename that could replace it.
    if (exists && ::access(FTarget.c_str(), W_OK) != 0)
        fail(errno);
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        FTemp = FTarget + ".partial-" + std::to_string(::getpid()) +
                (attempt ? "-" + std::to_string(attempt) : std::string());
        // Made new, with the permissions a new file gets (the umask's).
        fd = ::open(FTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt >= 100)) {
            const int error = errno;
            FTemp.clear();
            fail(error);
        }
    }
    // A file that is replaced keeps its permissions.
    if (exists)
        ::fchmod(fd, st.st_mode & 07777);
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        ::close(fd);
        ::unlink(FTemp.c_str());
        FTemp.clear();
        fail(error);
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
    if (error == 0 && !FTemp.empty() && ::rename(FTemp.c_str(), FTarget.c_str()) != 0)
        error = errno;
    if (error != 0) {
        Discard();
        ThrowWriteError(error);
    }
    FOpen = false;
    if (!FTemp.empty()) {
        // The rename itself reaches the disk with the folder.
        const int dir = ::open(FolderOf(FTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
}

void TTrackFile::Discard() {
    if (!FOpen)
        return;
    FWav.Close();
    if (!FTemp.empty())
        ::unlink(FTemp.c_str());
    FOpen = false;
}

} // namespace parlino
