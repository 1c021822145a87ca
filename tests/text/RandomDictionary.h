#pragma once
// Dictionaries of random bytes, for the tests that feed the engine files
// that are no dictionaries at all.

#include "../../bench/FilmTextGenerator.h"

#include <string>

namespace parlino::test {

// `count` random bytes, none of them zero (which would end the file's text).
// Line breaks, "=", "*", "$" and the most common letters come often, so that
// many lines are rules with short patterns that do match film text.
inline std::string RandomDictionaryBytes(size_t count, uint64_t seed) {
    static const std::string_view common = "aeiostn ";
    bench::TSplitMix rnd(seed);
    std::string bytes;
    bytes.reserve(count);
    while (bytes.size() < count) {
        size_t r = rnd.Below(100);
        if (r < 8)
            bytes += rnd.Chance(50) ? "\r\n" : "\n";
        else if (r < 14)
            bytes += '=';
        else if (r < 18)
            bytes += '*';
        else if (r < 20)
            bytes += '$';
        else if (r < 60)
            bytes += common[rnd.Below(common.size())];
        else
            bytes += static_cast<char>(1 + rnd.Below(255));
    }
    return bytes;
}

} // namespace parlino::test
