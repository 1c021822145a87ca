#pragma once
// What the fuzz targets share: a check that stops the run with a message
// (libFuzzer then keeps the input as a crash), the input as text and lines,
// a clock the target moves, and the code pages text is held in.

#include "platform/ITickCounter.h"
#include "platform/linux/TIconvCodec.h"

#include <algorithm>
#include <array>
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

// Calls `use(line)` for every piece of `text` between line feeds, the last
// one included even when empty.
template <typename Use>
void ForEachLine(std::string_view text, Use use) {
    size_t pos = 0;
    for (;;) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        use(text.substr(pos, end - pos));
        if (end == text.size())
            return;
        pos = end + 1;
    }
}

class TTicks final : public ITickCounter {
public:
    explicit TTicks(uint32_t now) : Now(now) {}
    uint32_t Now;
    uint32_t GetTickCount() const override { return Now; }
};

// A system code page chosen by the input's length, so that the seeds can
// stay the fixture files as they are: single-byte Western and Cyrillic, and
// double-byte Japanese.
inline const ITextCodec& CodecFor(size_t size) {
    static const std::array<TIconvCodec, 3> codecs{TIconvCodec(1252), TIconvCodec(1251),
                                                   TIconvCodec(932)};
    return codecs[size % codecs.size()];
}

} // namespace parlino::fuzz

// Unlike assert, also active in optimised builds.
#define FUZZ_CHECK(condition) \
    ((condition) ? (void)0 : ::parlino::fuzz::Fail(#condition, __FILE__, __LINE__))
