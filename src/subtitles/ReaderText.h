#pragma once
// Small pieces the WebVTT and ASS/SSA readers share: an entry from times in
// milliseconds, and the blanks of a spoken text tidied.

#include "subtitles/TslItem.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace parlino {

// An entry starting at `startMs` (0 or more), with the start's components
// filled as the SubRip reader fills them.
inline TslItem MakeEntry(int32_t startMs, int32_t endMs, std::string displayText,
                         std::string speechText) {
    TslItem item;
    item.StartMs = startMs;
    item.EndMs = endMs;
    item.Hours = static_cast<uint16_t>(startMs / 3600000);
    item.Minutes = static_cast<uint16_t>(startMs / 60000 % 60);
    item.Seconds = static_cast<uint16_t>(startMs / 1000 % 60);
    item.Milliseconds = static_cast<uint16_t>(startMs % 1000);
    item.DisplayText = std::move(displayText);
    item.SpeechText = std::move(speechText);
    return item;
}

// `text` with every run of spaces and tabs made one space and none at either
// end; empty when the text holds nothing else.
inline std::string CollapseBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t') {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

} // namespace parlino
