#pragma once
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace parlino::test {

// The bytes of a file as they are on disk; empty when it cannot be read.
inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace parlino::test
