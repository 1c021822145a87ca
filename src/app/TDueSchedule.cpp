#include "app/TDueSchedule.h"

#include <algorithm>

namespace parlino {

bool HasSpeech(const TslItem& item) {
    return std::any_of(item.SpeechText.begin(), item.SpeechText.end(),
                       [](char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; });
}

TDueSchedule::TDueSchedule(const TslItems& items, int32_t searchWindowMs, int32_t groupMs)
    : FItems(items), FSearchWindowMs(searchWindowMs), FGroupMs(groupMs) {}

const TDueSchedule::TSlot& TDueSchedule::Slot(size_t index) const {
    if (FSlots.size() != FItems.size() || FBuiltFor != FItems.data()) Build();
    return FSlots[index];
}

int64_t TDueSchedule::DueMs(size_t index) const { return Slot(index).Due; }
size_t TDueSchedule::GroupOf(size_t index) const { return Slot(index).Group; }
int64_t TDueSchedule::SlotStartMs(size_t index) const { return Slot(index).Start; }
int64_t TDueSchedule::DeadlineMs(size_t index) const { return Slot(index).End; }

void TDueSchedule::Build() const {
    const size_t n = FItems.size();
    FSlots.assign(n, {});
    FBuiltFor = FItems.data();
    for (size_t i = 0; i < n; ++i) {
        const int64_t start = FItems[i].StartMs;
        FSlots[i].Due = std::min(start, start - (FSearchWindowMs - 1));
    }
    size_t first = 0;
    while (first < n) {
        const int64_t groupDue = FSlots[first].Due;
        size_t last = first + 1;
        while (last < n && FSlots[last].Due >= groupDue && FSlots[last].Due - groupDue < FGroupMs) ++last;
        // The group's time ends when an entry after it falls due later; the
        // last group has until the end of its entries.
        int64_t end = groupDue;
        size_t next = last;
        while (next < n && FSlots[next].Due <= groupDue) ++next;
        if (next < n) {
            end = FSlots[next].Due;
        } else {
            for (size_t i = first; i < last; ++i) end = std::max<int64_t>(end, FItems[i].EndMs);
        }
        int64_t total = 0;
        for (size_t i = first; i < last; ++i) total += HasSpeech(FItems[i]) ? int64_t(FItems[i].SpeechText.size()) : 0;
        int64_t before = 0;
        for (size_t i = first; i < last; ++i) {
            const int64_t weight = HasSpeech(FItems[i]) ? int64_t(FItems[i].SpeechText.size()) : 0;
            const int64_t span = end - groupDue;
            TSlot& slot = FSlots[i];
            slot.Group = first;
            slot.Start = total ? groupDue + span * before / total : groupDue;
            slot.End = total ? groupDue + span * (before + weight) / total : end;
            before += weight;
        }
        first = last;
    }
}

} // namespace parlino
