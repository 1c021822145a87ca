#pragma once
// The flags files are opened with for reading whole: in binary mode on
// Windows, whose text mode would stop at byte 0x1A and drop CRs; elsewhere
// without blocking (opening a pipe would wait for a writer) and not
// inherited by child processes.

#include <fcntl.h>

namespace parlino {

#ifdef _WIN32
inline constexpr int ReadOpenFlags = O_RDONLY | O_BINARY;
#else
inline constexpr int ReadOpenFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
#endif

} // namespace parlino
