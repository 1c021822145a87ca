// The window-watched follower on a fake window tree that the tests change
// while a run goes on.

#include "fakes/TFakePlatform.h"
#include "fakes/TFakePlayers.h"
#include "platform/Exceptions.h"
#include "players/player_conn.h"

#include <gtest/gtest.h>

using namespace parlino;
using namespace parlino::test;

namespace {

class MPCConnection : public ::testing::Test {
protected:
    int32_t PositionOf(const std::string& text) {
        Windows.Windows[Player.PositionLabel].Text = text;
        EXPECT_TRUE(Follower.IsConnected());
        return Follower.GetPosition();
    }
    void SetButton(uint32_t id, bool enabled, bool checked) {
        Windows.Windows[Player.Toolbar].Buttons[id] = {enabled, checked};
    }

    TFakeWindowSystem Windows;
    TFakeLocaleInfo Locale;
    TFakeWindowSystem::TPlayerWindows Player = Windows.AddPlayer("00:00:00 / 01:30:00");
    TMPCConnection Follower{Windows, Locale};
};

} // namespace

TEST_F(MPCConnection, PositionTextsBeforeTheSlash) {
    EXPECT_EQ(PositionOf("12:34 / 1:30:00"), (12 * 60 + 34) * 1000); // minutes and seconds only
    EXPECT_EQ(PositionOf("01:02:03 / 01:30:00"), (3600 + 2 * 60 + 3) * 1000);
    EXPECT_EQ(PositionOf("  23:59:59/x"), (23 * 3600 + 59 * 60 + 59) * 1000);
    EXPECT_EQ(PositionOf("00:00:01.250 / 00:10"), 1250);
    EXPECT_EQ(PositionOf("01:02:03"), 0); // no "/"
    EXPECT_EQ(PositionOf(""), 0);
    EXPECT_THROW(PositionOf("24:00:00 / 25:00:00"), EConvertError); // not a time of day
    EXPECT_THROW(PositionOf("Opening / 01:30:00"), EConvertError);
    EXPECT_THROW(PositionOf("1:2:3:4 / 0"), EConvertError);
    try {
        PositionOf("12:61 / 1:00:00");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'00:12:61' is not a valid time");
    }
}

TEST_F(MPCConnection, TheLocaleTimeSeparatorIsUsed) {
    Locale.Separator = '.';
    EXPECT_EQ(PositionOf("12.34 / 1.30.00"), (12 * 60 + 34) * 1000);
    EXPECT_EQ(PositionOf("01.02.03 / 01.30.00"), 3723000);
    EXPECT_THROW(PositionOf("01:02:03 / 01:30:00"), EConvertError);
}

TEST_F(MPCConnection, PlayingOnlyWithPauseEnabledAndUpAndStopUp) {
    EXPECT_TRUE(Follower.IsPlaying());
    SetButton(888, true, true); // paused
    EXPECT_FALSE(Follower.IsPlaying());
    SetButton(888, true, false);
    SetButton(890, true, true); // stopped
    EXPECT_FALSE(Follower.IsPlaying());
    SetButton(890, true, false);
    SetButton(888, false, false); // nothing loaded
    EXPECT_FALSE(Follower.IsPlaying());
    SetButton(888, true, false);
    EXPECT_TRUE(Follower.IsPlaying());
}

TEST_F(MPCConnection, AMissingWindowToolbarOrLabel) {
    // Without the status dialog the player is found but shows position 0.
    Windows.Remove(Player.Dialog);
    EXPECT_TRUE(Follower.IsConnected());
    EXPECT_EQ(Follower.GetPosition(), 0);
    Windows.Remove(Player.Toolbar);
    EXPECT_FALSE(Follower.IsConnected());
    EXPECT_FALSE(Follower.IsPlaying());
    // The player closes during a run and opens again: found at the next query.
    Windows.Remove(Player.Main);
    EXPECT_FALSE(Follower.FindPlayer());
    Follower.Activate(); // nothing to bring forward
    EXPECT_EQ(Windows.Foreground, 0u);
    Player = Windows.AddPlayer("00:00:05 / 00:10:00");
    EXPECT_TRUE(Follower.IsConnected());
    EXPECT_EQ(Follower.GetPosition(), 5000);
}

TEST_F(MPCConnection, OfTwoPlayersTheFirstFoundIsFollowed) {
    const auto second = Windows.AddPlayer("00:00:42 / 00:10:00");
    Windows.Windows[Player.PositionLabel].Text = "00:00:07 / 00:10:00";
    EXPECT_TRUE(Follower.IsConnected());
    EXPECT_EQ(Follower.MainWindow, Player.Main);
    EXPECT_EQ(Follower.GetPosition(), 7000);
    Windows.Remove(Player.Main);
    EXPECT_TRUE(Follower.IsConnected());
    EXPECT_EQ(Follower.GetPosition(), 42000);
    EXPECT_EQ(Follower.MainWindow, second.Main);
}

TEST_F(MPCConnection, AMinimisedPlayerIsRestoredAndBroughtToTheFront) {
    Windows.Windows[Player.Main].Minimized = true;
    Follower.Activate();
    EXPECT_FALSE(Windows.Windows[Player.Main].Minimized);
    EXPECT_EQ(Windows.Foreground, Player.Main);
}
