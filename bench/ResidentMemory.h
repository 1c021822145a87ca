#pragma once
// The resident memory of this process, in MB (from /proc/self/statm).

#include <unistd.h>

#include <fstream>

inline double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}
