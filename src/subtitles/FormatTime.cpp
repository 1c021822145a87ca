#include "subtitles/FormatTime.h"

namespace parlino {
namespace {

void AppendTwoDigits(std::string& out, int32_t value) {
    if (value < 0) {
        out += '-';
        value = -value;
    }
    std::string digits = std::to_string(value);
    if (digits.size() < 2) out += '0';
    out += digits;
}

} // namespace

std::string FormatTime(int32_t ms, char separator) {
    const int32_t hours = ms / 3600000;
    const int32_t minutes = ms % 3600000 / 60000;
    const int32_t seconds = ms % 60000 / 1000;
    std::string out;
    AppendTwoDigits(out, hours);
    out += separator;
    AppendTwoDigits(out, minutes);
    out += separator;
    AppendTwoDigits(out, seconds);
    return out;
}

} // namespace parlino
