#include "render/TRenderReport.h"

#include <gtest/gtest.h>

using namespace parlino;

// Lateness and overrun come from the entry's own onset and end against its
// due time and its deadline.
TEST(RenderReport, LatenessOverrunAndCutPerEntry) {
    std::vector<TEntryTiming> t(5);
    t[0] = {.DueMs = -999, .DeadlineMs = 1001, .Spoken = true, .Heard = true, .OnsetMs = 0, .EndMs = 20};
    t[1] = {.DueMs = 1001, .DeadlineMs = 2501, .Spoken = true, .Factor = 1.25, .Heard = true, .OnsetMs = 1100,
            .EndMs = 2600};                       // past the next due time by 99
    t[2] = {.DueMs = 2501, .DeadlineMs = 3001, .Spoken = false};      // never spoken
    t[3] = {.DueMs = 3001, .DeadlineMs = 4001, .Spoken = true, .ExpectedMs = 800, .CutMs = 800}; // cut unheard
    t[4] = {.DueMs = 4001, .DeadlineMs = 5000, .Spoken = true, .Factor = 1.5, .Heard = true, .OnsetMs = 3990,
            .EndMs = 5100, .CutMs = 40};
    EXPECT_EQ(FormatRenderReport(t),
              "#\tdue_ms\tonset_ms\tend_ms\tfactor\tlateness_ms\toverrun_ms\tcut_ms\n"
              "1\t-999\t0\t20\t1.000\t999\t0\t0\n"
              "2\t1001\t1100\t2600\t1.250\t99\t99\t0\n"
              "3\t2501\t\t\t\t\t\t\n"
              "4\t3001\t\t\t1.000\t\t\t800\n"
              "5\t4001\t3990\t5100\t1.500\t-11\t100\t40\n");
}
