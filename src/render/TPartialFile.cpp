#include "render/TPartialFile.h"

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

void SyncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

TPartialFile::TPartialFile(std::string fileName) : FFileName(std::move(fileName)), FTarget(FFileName) {}

TPartialFile::~TPartialFile() {
    Discard();
}

int TPartialFile::Create() {
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
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or pipe: no rename, and a folder fails here as it should.
        FTemp.clear();
        const int fd = ::open(FTarget.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0)
            fail(errno);
        return fd;
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
    return fd;
}

int TPartialFile::Commit() {
    if (FTemp.empty())
        return 0;
    // Whoever wrote it may not have synced it; the rename must not reach
    // the disk before the data does.
    SyncPath(FTemp, O_RDONLY);
    if (::rename(FTemp.c_str(), FTarget.c_str()) != 0) {
        const int error = errno;
        Discard();
        return error;
    }
    FTemp.clear();
    // The rename itself reaches the disk with the folder.
    SyncPath(FolderOf(FTarget), O_RDONLY | O_DIRECTORY);
    return 0;
}

void TPartialFile::Discard() {
    if (!FTemp.empty())
        ::unlink(FTemp.c_str());
    FTemp.clear();
}

} // namespace parlino
