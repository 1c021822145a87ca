#pragma once
// When each subtitle falls due on the shifted clock (position + time shift),
// and the time it has to be spoken in. Times in ms.
//
// An entry falls due once the clock comes within the search window of its
// start. Entries that fall due less than a tick after the first of them (two
// speakers at one moment, a sign beside a line, a line 50 ms after another)
// form a group: they are spoken one after another in file order, none cutting
// another off, and share the time until the next group falls due, each in
// proportion to the length of its text.

#include "subtitles/TslItem.h"

#include <cstdint>
#include <vector>

namespace parlino {

// Whether an entry has anything to say; entries without text (the leading
// entry, a line the dictionary emptied) are found but not spoken.
bool HasSpeech(const TslItem& item);

class TDueSchedule {
public:
    TDueSchedule(const TslItems& items, int32_t searchWindowMs, int32_t groupMs);

    // The first moment the search finds the entry.
    int64_t DueMs(size_t index) const;
    // The first entry of its group.
    size_t GroupOf(size_t index) const;
    // When it is planned to start: its group's due moment plus the shares of
    // the entries before it in the group.
    int64_t SlotStartMs(size_t index) const;
    // When it should have ended: the end of its share; the group's shares
    // end when the next group falls due, the last group's at its entries' end.
    int64_t DeadlineMs(size_t index) const;
    // The schedule follows a new or resized track by itself; after texts
    // changed in place it must be told.
    void Refresh() { FSlots.clear(); }

private:
    struct TSlot {
        size_t Group = 0;
        int64_t Due = 0, Start = 0, End = 0;
    };
    const TSlot& Slot(size_t index) const;
    void Build() const;

    const TslItems& FItems;
    int32_t FSearchWindowMs;
    int32_t FGroupMs;
    mutable std::vector<TSlot> FSlots;
    mutable const TslItem* FBuiltFor = nullptr;
};

} // namespace parlino
