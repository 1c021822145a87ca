#pragma once
// A SubRip file of (start ms, text) entries, each shown for a second.

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace parlino::test {

inline std::string WriteSrtFile(const std::string& path, const std::vector<std::pair<int, std::string>>& entries) {
    std::ofstream out(path, std::ios::binary);
    int n = 1;
    for (const auto& [ms, text] : entries) {
        char line[64];
        std::snprintf(line, sizeof line, "%02d:%02d:%02d,%03d --> %02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60,
                      ms / 1000 % 60, ms % 1000, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60 + 1, ms % 1000);
        out << n++ << "\r\n" << line << "\r\n" << text << "\r\n\r\n";
    }
    return path;
}

} // namespace parlino::test
