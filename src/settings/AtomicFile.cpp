#include "settings/AtomicFile.h"

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

[[noreturn]] void Fail(const std::string& fileName, const std::string& reason) {
    throw EParlinoError("Cannot write file \"" + fileName + "\". " + reason);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

void WriteFileAtomically(const std::string& fileName, std::string_view data) {
    std::string target = fileName;
    struct stat st {};
    if (::lstat(fileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(fileName.c_str(), resolved))
            target = resolved;
    }
    mode_t mode = S_IRUSR | S_IWUSR;
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            Fail(fileName, "Not a file.");
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
            ::access(target.c_str(), W_OK) != 0)
            Fail(fileName, "The file is read-only.");
        mode = st.st_mode & 07777;
    }

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        Fail(fileName, std::strerror(errno));
    bool closed = false;
    auto failTemp = [&](int error) {
        if (!closed)
            ::close(fd);
        ::unlink(temp.c_str());
        Fail(fileName, std::strerror(error));
    };
    if (::fchmod(fd, mode) != 0)
        failTemp(errno);
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            failTemp(errno);
        if (n == 0)
            failTemp(EIO);
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0)
        failTemp(errno);
    closed = true;
    if (::close(fd) != 0)
        failTemp(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0)
        failTemp(errno);
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace parlino
