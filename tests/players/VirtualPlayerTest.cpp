#include "fakes/TFakePlatform.h"
#include "players/VirtualPlayer.h"

#include <gtest/gtest.h>

using namespace parlino;

TEST(VirtualPlayer, WorkedExampleOfPlayPauseAndMove) {
    test::TFakeTickCounter ticks;
    ticks.Now = 5000;
    TVirtualPlayer clock(ticks);
    EXPECT_FALSE(clock.IsPlaying());
    EXPECT_TRUE(clock.IsConnected());
    clock.SetPosition(9800);
    clock.Play();
    EXPECT_EQ(clock.GetPosition(), 9800);
    ticks.Advance(1500);
    EXPECT_EQ(clock.GetPosition(), 11300);
    clock.Pause();
    EXPECT_FALSE(clock.IsPlaying());
    ticks.Advance(4000);
    EXPECT_EQ(clock.GetPosition(), 11300); // stands still while paused
    clock.Play();
    ticks.Advance(100);
    EXPECT_EQ(clock.GetPosition(), 11400); // continues from the paused value
    clock.Pause();
    clock.SetPosition(20000);
    EXPECT_EQ(clock.GetPosition(), 20000); // at once, and still paused
    ticks.Advance(700);
    EXPECT_EQ(clock.GetPosition(), 20000);
    clock.Play();
    ticks.Advance(50);
    EXPECT_EQ(clock.GetPosition(), 20050);
}

TEST(VirtualPlayer, NegativeStartAndRestartFromTheOffset) {
    test::TFakeTickCounter ticks;
    TVirtualPlayer clock(ticks);
    clock.SetPosition(-200);
    clock.Play();
    ticks.Advance(150);
    EXPECT_EQ(clock.GetPosition(), -50);
    ticks.Advance(100);
    EXPECT_EQ(clock.GetPosition(), 50);
    // Play on a clock that was never paused restarts the count from the offset.
    clock.Play();
    EXPECT_EQ(clock.GetPosition(), -200);
    clock.Stop();
    EXPECT_FALSE(clock.IsPlaying());
    EXPECT_THROW(clock.Reserved(), std::exception);
}

TEST(VirtualPlayer, TickCounterWrapDoesNotDisturbTheCount) {
    test::TFakeTickCounter ticks;
    ticks.Now = 0xFFFFFFFFu - 300;
    TVirtualPlayer clock(ticks);
    clock.SetPosition(1000);
    clock.Play();
    ticks.Advance(200);
    clock.Pause();
    ticks.Advance(500); // the counter wraps while paused
    EXPECT_EQ(clock.GetPosition(), 1200);
    clock.Play();
    ticks.Advance(300);
    EXPECT_EQ(clock.GetPosition(), 1500);
}
