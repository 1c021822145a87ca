// Following real players in the real window with the real voice: mpv
// through its command socket, and mpv with its MPRIS plugin on a private
// session bus. Each subtitle must be heard when the film reaches its due
// point; the voice pauses and resumes with the player, a seek back speaks
// earlier subtitles again, and a player that quits is found again when it
// is back. Prints every onset against its due point.

#include "ui/TFollowingE2E.h"

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;


TEST_F(FollowingE2E, MpvIsFollowedWithTheTimeShift) {
    StartPlayer();
    Follow(TPlayerType::Mpv, {{2500, "One."}, {4500, "Two."}, {6500, "Three."}}, 1);
    Wait(400);
    PlayFilmTo(6.2);
    ExpectHeardWhenDue(2500, 1, "One.", 250);
    ExpectHeardWhenDue(4500, 1, "Two.", 250);
    ExpectHeardWhenDue(6500, 1, "Three.", 250);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST_F(FollowingE2E, TheVoicePausesAndResumesWithMpvAndASeekBackSpeaksAgain) {
    StartPlayer();
    Follow(TPlayerType::Mpv,
           {{1500, "This subtitle is long enough to be paused in the middle of its words and resumed afterwards."}});
    Wait(300);
    Player->SetPaused(false);
    WaitForFilm(2.0);
    Wait(300);
    const auto pausedAt = TClock::now();
    Player->SetPaused(true);
    Wait(1000);
    const auto playedAt = TClock::now();
    Player->SetPaused(false);
    Wait(600);
    const auto lastBeforePause = Rec->LastSound(pausedAt - 1000ms, pausedAt + 500ms);
    ASSERT_TRUE(lastBeforePause.has_value());
    std::printf("silent %.0f ms after the player paused\n", Ms(*lastBeforePause - pausedAt));
    EXPECT_LE(*lastBeforePause - pausedAt, 250ms);
    EXPECT_FALSE(Rec->FirstSound(pausedAt + 300ms, playedAt - 10ms).has_value());
    const auto again = Rec->FirstSound(playedAt, playedAt + 600ms);
    ASSERT_TRUE(again.has_value());
    std::printf("heard again %.0f ms after the player played\n", Ms(*again - playedAt));
    EXPECT_LE(*again - playedAt, 250ms);
    // A seek back of more than a second: the subtitle is due and heard again.
    Wait(4000); // let it finish
    Player->Seek(0);
    Wait(150); // the reports from before the seek are over
    Since = TClock::now();
    WaitForFilm(0.6);
    Wait(300);
    ExpectHeardWhenDue(1500, 0, "Again", 250);
}

TEST_F(FollowingE2E, AnMpvThatQuitsIsWaitedForAndFoundAgain) {
    StartPlayer();
    Follow(TPlayerType::Mpv, {{1500, "Before."}, {9000, "After."}});
    Wait(300);
    Player->SetPaused(false);
    WaitForFilm(2.0);
    Player->Quit();
    Wait(400);
    EXPECT_EQ(Window->lWarning->text(), "Waiting..\nPlease, run \"mpv\" and start video there.");
    EXPECT_TRUE(Window->Running());
    StartPlayer();
    Player->Seek(7.5);
    Wait(400);
    PlayFilmTo(8.2);
    ExpectHeardWhenDue(9000, 0, "After.", 250);
}

// The user sees the waiting text while the player is gone, and following
// picks up again by itself when it is back.
TEST_F(FollowingE2E, AKilledMpvLeavesItsSocketBehindAndIsFoundAgainWhenRestarted) {
    StartPlayer();
    Follow(TPlayerType::Mpv, {{1500, "Before."}, {9000, "After."}});
    Wait(300);
    Player->SetPaused(false);
    WaitForFilm(2.0);
    Player->Kill();
    ASSERT_TRUE(std::filesystem::exists(SocketPath())) << "a killed mpv leaves its socket file";
    Wait(400);
    EXPECT_EQ(Window->lWarning->text(), "Waiting..\nPlease, run \"mpv\" and start video there.");
    EXPECT_TRUE(Window->Running());
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    StartPlayer();
    Player->Seek(7.5);
    Wait(400);
    PlayFilmTo(8.2);
    ExpectHeardWhenDue(9000, 0, "After.", 250);
}

TEST_F(FollowingE2E, AnMprisPlayerOnTheSessionBusIsFollowed) {
    StartPlayer(true);
    Follow(TPlayerType::Mpris, {{2000, "One."}, {4000, "Two."}});
    Wait(600);
    PlayFilmTo(3.2);
    ExpectHeardWhenDue(2000, 0, "One.", 300);
    ExpectHeardWhenDue(4000, 0, "Two.", 300);
    Player->SetPaused(true);
    Wait(500);
    EXPECT_EQ(Window->lStatus1->text(), "Stopped");
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST_F(FollowingE2E, TheTrackMpvShowsIsReadFollowedAcrossTrackChangesAndAFileLoadedByHandWins) {
    const std::string first = WriteSrt("first.srt", {{3000, "From the first track."}});
    const std::string second = WriteSrt("second.srt", {{3000, "From the second track."}});
    Film = Folder + "/film.mkv";
    MakeFilm(Film, 30, {first, second}, {"srt", "srt"});
    StartPlayer();
    Window->rbTrack->click();
    Window->cbPlayerType->setCurrentIndex(static_cast<int>(TPlayerType::Mpv));
    Window->btStartWatch->click();
    const auto reads = [&](const std::string& text) {
        for (int i = 0; i < 50; ++i, Wait(100))
            if (Window->Loaded && Window->Items.size() == 2 && Window->Items[1].DisplayText == text) return true;
        return false;
    };
    ASSERT_TRUE(reads("From the first track."));
    EXPECT_TRUE(Window->Running());
    EXPECT_NE(Window->lWarning->text().toStdString().find("Reading the subtitles the player shows: " + Film),
              std::string::npos)
        << Window->lWarning->text().toStdString();
    Player->Command(R"({"command":["set_property","sid",2]})");
    ASSERT_TRUE(reads("From the second track."));
    Since = TClock::now(); // the new track is followed: its line is heard when due
    Player->SetPaused(false);
    WaitForFilm(2.5);
    ExpectHeardWhenDue(3000, 0, "From the second track.", 300);

    // A file loaded by hand is read for this film, whatever mpv shows.
    Window->LoadSubtitles(WriteSrt("mine.srt", {{5000, "My own file."}}));
    Window->btStartWatch->click();
    Player->Command(R"({"command":["set_property","sid",1]})");
    EXPECT_FALSE(reads("From the first track."));
    EXPECT_EQ(Window->Items[1].DisplayText, "My own file.");
}

TEST_F(FollowingE2E, AnMprisPlayersLocalFilmGivesTheSubtitlesBesideItOrInsideIt) {
    Film = Folder + "/film.mkv";
    MakeFilm(Film, 30, {WriteSrt("inside.srt", {{3000, "Inside the film."}})}, {"srt"});
    StartPlayer(true);
    Window->rbTrack->click();
    Window->cbPlayerType->setCurrentIndex(static_cast<int>(TPlayerType::Mpris));
    const auto reads = [&](const std::string& text) {
        for (int i = 0; i < 80; ++i, Wait(100))
            if (Window->Loaded && Window->Items.size() == 2 && Window->Items[1].DisplayText == text) return true;
        return false;
    };
    Window->btStartWatch->click();
    EXPECT_TRUE(reads("Inside the film."));
    // A subtitle file of the film's base name beside it is read first.
    ASSERT_TRUE(Window->btStopWatch->isEnabled()); // still following after the load
    Window->btStopWatch->click();
    WriteSrtFile(Folder + "/film.srt", {{3000, "Beside the film."}});
    Window->btStartWatch->click();
    EXPECT_TRUE(reads("Beside the film."));
}
