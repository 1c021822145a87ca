#include "render/TVoiceSpool.h"

#include "platform/Exceptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace parlino {
namespace {

std::string TempFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

[[noreturn]] void Fail(const char* what, int error) {
    throw EParlinoError(std::string("Cannot ") + what + " the voice's temporary file in " + TempFolder() + ". " +
                        std::strerror(error));
}

} // namespace

TVoiceSpool::TVoiceSpool() {
    std::string name = TempFolder() + "/parlino-voice-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) Fail("make", errno);
    ::unlink(name.c_str());
    FFile = ::fdopen(fd, "w+b");
    if (!FFile) {
        const int error = errno;
        ::close(fd);
        Fail("make", error);
    }
}

TVoiceSpool::~TVoiceSpool() {
    if (FFile) std::fclose(FFile);
}

void TVoiceSpool::Write(const int16_t* samples, size_t count) {
    errno = 0;
    if (std::fwrite(samples, sizeof(int16_t), count, FFile) != count) Fail("write", errno ? errno : EIO);
}

void TVoiceSpool::Rewind() {
    if (std::fflush(FFile) != 0) Fail("write", errno);
    std::rewind(FFile);
}

size_t TVoiceSpool::Read(int16_t* samples, size_t count) {
    const size_t got = std::fread(samples, sizeof(int16_t), count, FFile);
    if (got < count && std::ferror(FFile)) Fail("read", errno ? errno : EIO);
    return got;
}

} // namespace parlino
