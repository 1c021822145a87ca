#pragma once
// Blanks as line-based text formats know them: spaces and tabs.

#include <string_view>

namespace parlino {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// `s` without its leading and trailing blanks.
inline std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

} // namespace parlino
