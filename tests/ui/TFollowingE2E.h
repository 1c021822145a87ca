#pragma once
// The real window following a real mpv (through its command socket, or its
// MPRIS plugin on the private session bus) over a silent film.

#include "fakes/MakeFilm.h"
#include "ui/TWindowE2E.h"

namespace parlino::test {

using namespace std::chrono_literals;

class FollowingE2E : public TWindowE2E {
protected:
    void SetUp() override {
        TWindowE2E::SetUp();
        Film = Folder + "/film.wav";
        ASSERT_NO_THROW(MakeSilentFilm(Film, 60));
    }
    void TearDown() override {
        Player.reset();
        TWindowE2E::TearDown();
    }
    std::string SocketPath() const { return MpvSocketPath(Fake.Folders); }
    void StartPlayer(bool mpris = false) {
        ASSERT_NO_THROW(Player = std::make_unique<TMpvProcess>(Film, SocketPath(), mpris));
    }
    // Loads the entries and starts following the player of `type`.
    void Follow(TPlayerType type, const std::vector<std::pair<int, std::string>>& entries, int shiftSeconds = 0) {
        Window->LoadSubtitles(WriteSrt("follow.srt", entries));
        Window->rbTrack->click();
        Window->cbPlayerType->setCurrentIndex(static_cast<int>(type));
        Window->eSpeechShift->setValue(shiftSeconds);
        Window->btStartWatch->click();
    }
    // Waits until the player's film has reached `seconds` (at most 15 s).
    void WaitForFilm(double seconds) {
        for (int i = 0; i < 150 && !Player->WhenReached(seconds, Since); ++i) Wait(100);
    }
    // The player, found while paused, plays the film to `seconds`; the
    // window follows it.
    void PlayFilmTo(double seconds) {
        EXPECT_TRUE(Window->lWarning->text().isEmpty()) << Window->lWarning->text().toStdString();
        EXPECT_EQ(Window->lStatus1->text(), "Stopped");
        Since = TClock::now();
        Player->SetPaused(false);
        WaitForFilm(seconds);
        Wait(300);
        EXPECT_EQ(Window->lStatus1->text(), "Playing");
    }
    // The onset of the speech for an entry starting at `startMs`, due when
    // the film plus the shift comes within a second of it; checks it and
    // prints it. The tolerance is one tick and the sound path, plus the
    // margin a sanitised build on a busy machine needs.
    void ExpectHeardWhenDue(int startMs, int shiftSeconds, const char* text, int toleranceMs) {
        const double dueSeconds = (startMs - 999 - shiftSeconds * 1000) / 1000.0;
        const auto due = Player->WhenReached(dueSeconds, Since);
        ASSERT_TRUE(due.has_value()) << "the film never reached the due point of " << text;
        Rec->WaitUntilRecorded(*due + 1500ms);
        const auto onset = Rec->FirstSound(*due - 300ms, *due + 1500ms);
        ASSERT_TRUE(onset.has_value()) << text << " was not heard";
        const double late = Ms(*onset - *due);
        std::printf("%-8s start %6d ms  due at film %7.3f s  heard %+5.0f ms after\n", text, startMs, dueSeconds, late);
        EXPECT_GE(late, -30) << text << " spoken before it was due";
        EXPECT_LE(late, toleranceMs) << text << " too late";
    }

    std::string Film;
    std::unique_ptr<TMpvProcess> Player;
    TClock::time_point Since = TClock::now();
};

} // namespace parlino::test
