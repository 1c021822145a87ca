#pragma once
// parlino-render's --report: for every entry, when it was due, where its
// speech really sits in the track and how fast it was spoken, as a
// tab-separated table.

#include <cstdint>
#include <string>
#include <vector>

namespace parlino {

// What became of one entry in a render; times are track ms.
struct TEntryTiming {
    bool HasText = true;     // an entry with nothing to say gets no row
    int64_t DueMs = 0;       // when the entry became due
    int64_t DeadlineMs = 0;  // when it should have ended: the next entry's due time
    bool Spoken = false;     // handed to the voice
    double Factor = 1.0;     // the speed factor it was spoken at
    int64_t ExpectedMs = -1; // its full spoken length at that factor; -1: unknown
    bool Heard = false;      // some of its audio was played
    int64_t OnsetMs = 0;     // its first played frame (when Heard)
    int64_t EndMs = 0;       // the end of its last played frame (when Heard)
    bool Cut = false;        // cut off before it had played out
    int64_t HeardMs = 0;     // how much of it played
    int64_t CutMs = 0;       // what being cut off kept from being heard
};

// The table: a header line, then per entry with text its 1-based number, due ms,
// onset ms, end ms, factor, lateness (onset - due), overrun past its
// deadline and cut ms. Onset, end, lateness and overrun are empty for an entry that
// was not heard, and everything after the due time for one never spoken.
std::string FormatRenderReport(const std::vector<TEntryTiming>& timings);

} // namespace parlino
