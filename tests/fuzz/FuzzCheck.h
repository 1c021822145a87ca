#pragma once
// What the fuzz targets share: a check that stops the run with a message
// (libFuzzer then keeps the input as a crash), and the input as text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace parlino::fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

} // namespace parlino::fuzz

// Unlike assert, also active in optimised builds.
#define FUZZ_CHECK(condition) \
    ((condition) ? (void)0 : ::parlino::fuzz::Fail(#condition, __FILE__, __LINE__))
