// The session-bus follower on a fake bus: several players, players that
// pause, quit, hang or answer nonsense.

#include "fakes/TFakePlatform.h"
#include "fakes/TFakePlayers.h"
#include "platform/Exceptions.h"
#include "players/TMprisConnection.h"

#include <gtest/gtest.h>

using namespace parlino;
using namespace parlino::test;

namespace {

const std::string Vlc = "org.mpris.MediaPlayer2.vlc";
const std::string Browser = "org.mpris.MediaPlayer2.firefox.instance_1_42";

class MprisConnection : public ::testing::Test {
protected:
    bool Tick(uint32_t ms = 100) {
        Ticks.Advance(ms);
        return Follower.IsConnected();
    }

    TFakeTickCounter Ticks;
    TFakeMprisBus Bus;
    TMprisConnection Follower{&Bus, Ticks};
};

} // namespace

TEST_F(MprisConnection, AnswersAreUsedOnTheNextTickAndThePositionRunsOn) {
    Bus.AddPlayer(Vlc).PositionUs = 83'250'000;
    EXPECT_FALSE(Tick()); // asked for the players; nothing known yet
    EXPECT_FALSE(Tick()); // learnt the names, asked for their state
    ASSERT_TRUE(Tick());
    EXPECT_EQ(Follower.Followed(), Vlc);
    EXPECT_TRUE(Follower.IsPlaying());
    EXPECT_EQ(Follower.GetPosition(), 83250);
    Ticks.Advance(250); // the player updates its position only now and then
    EXPECT_EQ(Follower.GetPosition(), 83500);
    Bus.Players[Vlc].Status = "Paused";
    Bus.Players[Vlc].PositionUs = 84'000'000;
    Tick();
    Tick();
    EXPECT_FALSE(Follower.IsPlaying());
    EXPECT_EQ(Follower.GetPosition(), 84000);
    Tick(3000);
    EXPECT_EQ(Follower.GetPosition(), 84000);
}

TEST_F(MprisConnection, APlayingPlayerIsPreferredOverTheFirstListed) {
    Bus.AddPlayer(Browser).Status = "Paused";
    Bus.AddPlayer(Vlc).PositionUs = 5'000'000;
    Tick();
    Tick();
    ASSERT_TRUE(Tick());
    EXPECT_EQ(Follower.Followed(), Vlc);
    Bus.Players[Vlc].Status = "Stopped";
    Tick();
    Tick();
    EXPECT_EQ(Follower.Followed(), Browser); // none plays: the first listed
    EXPECT_FALSE(Follower.IsPlaying());
}

TEST_F(MprisConnection, APlayerThatQuitsOrHangsIsDroppedAndARestartedOneFound) {
    Bus.AddPlayer(Vlc);
    Tick();
    Tick();
    ASSERT_TRUE(Tick());
    Bus.RemovePlayer(Vlc); // quits: the bus answers that the service is unknown
    Tick();
    EXPECT_FALSE(Tick());
    EXPECT_EQ(Follower.GetPosition(), 0);
    Bus.AddPlayer(Vlc).PositionUs = 1'000'000; // started again
    bool found = false;
    for (int i = 0; i < 20 && !found; ++i) found = Tick();
    EXPECT_TRUE(found);
    // Hangs: no answer at all, ever.
    Bus.Players[Vlc].Answers = false;
    int ticks = 0;
    while (Tick() && ticks < 100) ++ticks;
    EXPECT_LE(ticks, 31);
    EXPECT_GE(ticks, 25); // not dropped at the first late answer
}

TEST_F(MprisConnection, ANonsenseAnswerIsReportedOnceAndANoBusMeansWaiting) {
    Bus.AddPlayer(Vlc).PositionUs = 2'000'000;
    Tick();
    Tick();
    ASSERT_TRUE(Tick());
    Bus.Players[Vlc].Error = "PlaybackStatus is missing or not a text";
    Tick();
    EXPECT_TRUE(Tick()); // the last good state is still recent
    EXPECT_THROW(Follower.GetPosition(), EPlayerError);
    EXPECT_NO_THROW(Follower.GetPosition());
    Bus.Up = false;
    EXPECT_FALSE(Tick());
    TMprisConnection noBus(nullptr, Ticks);
    EXPECT_FALSE(noBus.IsConnected());
    noBus.Activate();
}

TEST_F(MprisConnection, ActivateRaisesTheFollowedPlayerWhenItCan) {
    Bus.AddPlayer(Vlc);
    Follower.Activate(); // at the start of a run, before anything is known
    Tick();
    Tick();
    EXPECT_TRUE(Bus.Raised.empty());
    Tick();
    EXPECT_EQ(Bus.Raised, std::vector<std::string>{Vlc});
    Tick();
    EXPECT_EQ(Bus.Raised.size(), 1u); // once
    Bus.Players[Vlc].CanRaise = false;
    Tick();
    Tick();
    Follower.Activate();
    EXPECT_EQ(Bus.Raised.size(), 1u);
}

TEST_F(MprisConnection, ALocalFilmOfTheFollowedPlayerIsTold) {
    Bus.AddPlayer(Vlc);
    for (int i = 0; i < 3; ++i) Tick();
    for (const auto& [url, path] : std::vector<std::pair<std::string, std::optional<std::string>>>{
             {"file:///films/My%20Film.mkv", "/films/My Film.mkv"},
             {"https://example.invalid/stream", std::nullopt},
             {"file:///films/broken%2", std::nullopt},
             {"file://host/films/a.mkv", std::nullopt},
             {"", std::nullopt}}) {
        Bus.Players[Vlc].Url = url;
        Tick();
        Tick();
        const auto shown = Follower.ShownSubtitles();
        EXPECT_EQ(shown.has_value(), path.has_value()) << url;
        if (shown && path) {
            EXPECT_EQ(shown->FilmPath, *path);
            EXPECT_TRUE(shown->Guess);
        }
    }
}

TEST_F(MprisConnection, APlayerThatTakesCommandsIsLoweredAndHeldAndOneThatDoesNotIsLeftAlone) {
    for (bool control : {true, false}) {
        TFakeMprisBus bus;
        TMprisConnection follower{&bus, Ticks};
        auto& player = bus.AddPlayer(Vlc);
        player.Volume = 0.8;
        player.CanControl = control;
        for (int i = 0; i < 3; ++i) follower.IsConnected();
        EXPECT_EQ(follower.FilmVolume().has_value(), control);
        EXPECT_EQ(follower.SetFilmVolume(0.2), control);
        EXPECT_DOUBLE_EQ(*bus.Players[Vlc].Volume, control ? 0.2 : 0.8);
        EXPECT_EQ(follower.CanHoldFilm(), control);
        follower.HoldFilm(true);
        follower.HoldFilm(false);
        EXPECT_EQ(bus.Commands, (std::vector<std::string>{Vlc + " Pause", Vlc + " Play"}));
    }
}
