#pragma once
// One subtitle entry and the track of them.

#include <cstdint>
#include <string>
#include <vector>

namespace parlino {

struct TslItem {
    int32_t Index = 0;    // position in Items; written when the controller finds the entry
    int32_t StartMs = 0;  // start time from the beginning of the track
    uint16_t Hours = 0, Minutes = 0, Seconds = 0, Milliseconds = 0; // start as read
    std::string DisplayText; // as read; shown in the grid
    std::string SpeechText;  // what is spoken; rewritten by the clean-up pass
    int32_t EndMs = 0;       // read and kept; playback does not cut speech at it
    bool Spoken = false;     // found and queued in the current run
};

// The loaded track in file order. Element 0 is the leading entry at time 0
// with empty texts; an empty track means nothing was read. Grid row r (r >= 1)
// shows element r - 1.
using TslItems = std::vector<TslItem>;

} // namespace parlino
