// When entries fall due, which fall due together, and how a group shares its time.

#include "app/TDueSchedule.h"

#include <gtest/gtest.h>

using namespace parlino;

TEST(DueSchedule, EntriesDueWithinATickShareTheTimeToTheNextInProportionToTheirText) {
    auto item = [](int32_t start, const std::string& text, int32_t end = 0) {
        TslItem i;
        i.StartMs = start;
        i.EndMs = end;
        i.SpeechText = text;
        return i;
    };
    const TslItems items{item(0, ""),          item(5000, "abcd"),    item(5000, "abcdefghijkl"),
                         item(5099, " \t"),   item(8000, "x", 9500), item(8100, "y", 9000)};
    const TDueSchedule schedule(items, 1000, 100);
    struct TRow {
        size_t Index, Group;
        int64_t Due, Start, Deadline;
    };
    // A and B and the blank line 99 ms later are one group with 3000 ms until
    // "x" falls due; "y" falls due 100 ms after "x": a group of its own, the
    // last, with the time until its end.
    for (const TRow& r : {TRow{0, 0, -999, -999, 4001}, TRow{1, 1, 4001, 4001, 4751}, TRow{2, 1, 4001, 4751, 7001},
                          TRow{3, 1, 4100, 7001, 7001}, TRow{4, 4, 7001, 7001, 7101}, TRow{5, 5, 7101, 7101, 9000}}) {
        SCOPED_TRACE(r.Index);
        EXPECT_EQ(schedule.GroupOf(r.Index), r.Group);
        EXPECT_EQ(schedule.DueMs(r.Index), r.Due);
        EXPECT_EQ(schedule.SlotStartMs(r.Index), r.Start);
        EXPECT_EQ(schedule.DeadlineMs(r.Index), r.Deadline);
    }
}
