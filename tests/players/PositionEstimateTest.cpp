#include "fakes/TFakePlatform.h"
#include "players/TPositionEstimate.h"

#include <gtest/gtest.h>

using namespace parlino;

TEST(PositionEstimate, RunsOnWithTheClockFromTheFirstSightingOfAValue) {
    test::TFakeTickCounter ticks;
    ticks.Now = 0xFFFFFF00u; // the counter wraps during the test
    TPositionEstimate estimate(ticks);
    EXPECT_FALSE(estimate.Position().has_value());
    estimate.Report(10000, ticks.Now);
    EXPECT_EQ(estimate.Position(), 10000); // not running: stands
    estimate.SetRunning(true);
    ticks.Advance(120);
    EXPECT_EQ(estimate.Position(), 10120);
    estimate.Report(10000, ticks.Now); // a stale repeat does not pull it back
    ticks.Advance(80);
    EXPECT_EQ(estimate.Position(), 10200);
    estimate.Report(10300, ticks.Now); // a new value re-anchors
    EXPECT_EQ(estimate.Position(), 10300);
    ticks.Advance(5000); // no news: at most a second ahead
    EXPECT_EQ(estimate.Position(), 10300 + 1000);
    estimate.Report(2000, ticks.Now); // a jump back is taken as it is
    EXPECT_EQ(estimate.Position(), 2000);
    estimate.SetRunning(false);
    ticks.Advance(500);
    EXPECT_EQ(estimate.Position(), 2000);
    estimate.SetRunning(true); // starts again from where it stood, not from the old sighting
    EXPECT_EQ(estimate.Position(), 2000);
    estimate.Clear();
    EXPECT_FALSE(estimate.Position().has_value());
}
