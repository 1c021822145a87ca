#include "subtitles/FormatTime.h"

#include "platform/Exceptions.h"

#include <cctype>
#include <optional>

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

// Reads digits at `pos` (after blanks); none, or more than 9 digits: nothing.
std::optional<int32_t> ReadNumber(const std::string& text, size_t& pos) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    const size_t start = pos;
    int32_t value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        if (pos - start == 9) return std::nullopt;
        value = value * 10 + (text[pos++] - '0');
    }
    if (pos == start) return std::nullopt;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    return value;
}

bool Skip(const std::string& text, size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
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

int32_t StrToTimeMs(const std::string& text, char separator) {
    const auto fail = [&]() -> int32_t { throw EConvertError("'" + text + "' is not a valid time"); };
    size_t pos = 0;
    const std::optional<int32_t> hours = ReadNumber(text, pos);
    if (!hours || !Skip(text, pos, separator)) return fail();
    const std::optional<int32_t> minutes = ReadNumber(text, pos);
    if (!minutes) return fail();
    std::optional<int32_t> seconds = 0, millis = 0;
    if (Skip(text, pos, separator)) {
        seconds = ReadNumber(text, pos);
        if (seconds && Skip(text, pos, '.')) millis = ReadNumber(text, pos);
    }
    if (!seconds || !millis || pos != text.size()) return fail();
    if (*hours > 23 || *minutes > 59 || *seconds > 59 || *millis > 999) return fail();
    return *hours * 3600000 + *minutes * 60000 + *seconds * 1000 + *millis;
}

} // namespace parlino
