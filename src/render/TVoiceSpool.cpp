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
    FFd = ::mkstemp(name.data());
    if (FFd < 0) Fail("make", errno);
    ::unlink(name.c_str());
}

TVoiceSpool::~TVoiceSpool() {
    if (FFd >= 0) ::close(FFd);
}

void TVoiceSpool::Write(const int16_t* samples, size_t count) {
    const char* from = reinterpret_cast<const char*>(samples);
    size_t left = count * sizeof(int16_t);
    while (left > 0) {
        const ssize_t wrote = ::write(FFd, from, left);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) Fail("write", wrote < 0 ? errno : ENOSPC);
        from += wrote;
        left -= size_t(wrote);
    }
}

size_t TVoiceSpool::ReadAt(uint64_t position, int16_t* samples, size_t count) const {
    char* to = reinterpret_cast<char*>(samples);
    const size_t wanted = count * sizeof(int16_t);
    size_t got = 0;
    while (got < wanted) {
        const ssize_t read = ::pread(FFd, to + got, wanted - got, off_t(position * sizeof(int16_t) + got));
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) Fail("read", errno);
        if (read == 0) break;
        got += size_t(read);
    }
    return got / sizeof(int16_t);
}

} // namespace parlino
