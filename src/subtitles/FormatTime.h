#pragma once
#include <cstdint>
#include <string>

namespace parlino {

// Hours, minutes and seconds of `ms`, each truncated toward zero and written
// with at least two digits, joined by `separator`; milliseconds are dropped.
// FormatTime(3723000) is "01:02:03"; FormatTime(-200) is "00:00:00".
std::string FormatTime(int32_t ms, char separator = ':');

} // namespace parlino
