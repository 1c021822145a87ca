#pragma once
#include <cstdint>
#include <string>

namespace parlino {

// Hours, minutes and seconds of `ms`, each truncated toward zero and written
// with at least two digits, joined by `separator`; milliseconds are dropped.
// FormatTime(3723000) is "01:02:03"; FormatTime(-200) is "00:00:00".
std::string FormatTime(int32_t ms, char separator = ':');

// Reads a time of day written with the locale's time `separator`: hours and
// minutes, optionally seconds and then milliseconds after a '.', each part
// one or more digits, blanks allowed around the parts. Hours must lie in
// 0..23, minutes and seconds in 0..59. Returns milliseconds since midnight;
// anything else throws EConvertError "'<text>' is not a valid time".
int32_t StrToTimeMs(const std::string& text, char separator = ':');

} // namespace parlino
