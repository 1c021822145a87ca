// The followed film makes room for the voice, with a real mpv, the real
// voice and the recorded sink: mpv's own volume, read back over its command
// socket, dips while a line is heard and comes back to the user's level,
// also when the program is ended by SIGTERM mid-line; and with "Pause the
// film while the voice catches up" a dense passage pauses mpv only while the
// voice runs over, nothing is cut, and the user's own pause is kept.

#include "ui/TFollowingE2E.h"
#include "ui/TShutdownSignals.h"

#include <cmath>
#include <csignal>

using namespace parlino;
using namespace parlino::test;
using namespace std::chrono_literals;

namespace {

class FilmControlE2E : public FollowingE2E {
protected:
    // The last value mpv reported at or before `at`.
    static std::optional<double> At(const std::vector<TMpvProcess::TSample>& samples, TClock::time_point at) {
        std::optional<double> value;
        for (const auto& sample : samples)
            if (sample.At <= at) value = sample.Seconds;
        return value;
    }
    // mpv's volume against the user's, as an amplitude in dB (its scale is cubic).
    double DipDb(TClock::time_point at, double user) {
        const std::optional<double> volume = At(Player->Volumes(), at);
        return volume ? 60 * std::log10(*volume / user) : NAN;
    }
    // The film's position at `at`, from mpv's own reports.
    double FilmAt(TClock::time_point at) { return At(Player->Samples(), at).value_or(-1); }
};

} // namespace

TEST_F(FilmControlE2E, MpvsVolumeDipsWhileALineIsHeardAndComesBackAlsoAfterSigterm) {
    StartPlayer();
    Player->Command(R"({"command":["set_property","volume",80]})");
    Window->chkDuckFilm->setChecked(true);
    Window->eDuckDb->setValue(15);
    Follow(TPlayerType::Mpv, {{2000, "The film is lower while this line is spoken."},
                              {6000, "And this one is cut off by the end of the program."}});
    Wait(400);
    PlayFilmTo(1.2);
    Wait(3500);
    const auto onset = Rec->FirstSound(Since, TClock::now());
    ASSERT_TRUE(onset.has_value()) << "the line was not heard";
    const auto end = Rec->LastSound(*onset, *onset + 3000ms);
    std::printf("heard %.0f ms; dip %.1f dB 250 ms before, %.1f dB at the onset, %.1f dB in the middle, "
                "%.1f dB 800 ms after\n",
                Ms(*end - *onset), DipDb(*onset - 250ms, 80), DipDb(*onset + 20ms, 80),
                DipDb(*onset + (*end - *onset) / 2, 80), DipDb(*end + 800ms, 80));
    EXPECT_NEAR(DipDb(*onset - 250ms, 80), 0, 0.01);
    EXPECT_NEAR(DipDb(*onset + 20ms, 80), -15, 1);
    EXPECT_NEAR(DipDb(*onset + (*end - *onset) / 2, 80), -15, 0.1);
    EXPECT_NEAR(DipDb(*end + 800ms, 80), 0, 0.01);

    // SIGTERM in the middle of the next line ends the program as File / Exit
    // does, and mpv is left at the user's level.
    TShutdownSignals shutdown([this] { Window.reset(); });
    WaitForFilm(5.3);
    Wait(400);
    ASSERT_LT(DipDb(TClock::now(), 80), -14);
    ::kill(::getpid(), SIGTERM);
    for (int i = 0; i < 50 && Window; ++i) Wait(20);
    ASSERT_FALSE(Window);
    Wait(300);
    EXPECT_NEAR(DipDb(TClock::now(), 80), 0, 0.01);
}

TEST_F(FilmControlE2E, ADensePassagePausesMpvOnlyWhileTheVoiceRunsOverAndTheUsersPauseIsKept) {
    StartPlayer();
    Window->chkHoldFilm->setChecked(true);
    const std::vector<std::pair<int, std::string>> lines = {
        {2000, "The first line of a dense passage takes a while to say."},
        {2600, "The second comes before the first is over."},
        {3200, "So does the third one, right behind it."},
        {3800, "And the fourth, at the end of it all."},
        {12000, "A line the user pauses in the middle of, and does not want played on."}};
    std::vector<std::pair<TClock::time_point, int32_t>> spoken; // when, due on the film
    Follow(TPlayerType::Mpv, lines);
    Window->Controller->OnSpoken = [&](const TSpokenEntry& e) { spoken.push_back({TClock::now(), e.DueMs}); };
    int cuts = 0;
    Window->Controller->OnCut = [&](size_t, int32_t) { ++cuts; };
    Wait(400);
    PlayFilmTo(1.0);
    for (int i = 0; i < 200 && spoken.size() < 4; ++i) Wait(100);
    ASSERT_EQ(spoken.size(), 4u);
    for (const auto& [at, dueMs] : spoken) {
        const double late = (FilmAt(at) * 1000) - dueMs;
        std::printf("due at film %6d ms, went to the voice at film %+4.0f ms\n", dueMs, late);
        EXPECT_LE(late, 150);
        // mpv reports its position some tens of ms apart; the last report
        // before the moment is what is compared.
        EXPECT_GE(late, -100);
        ASSERT_TRUE(Rec->WaitUntilRecorded(at + 400ms));
        EXPECT_TRUE(Rec->FirstSound(at, at + 400ms).has_value()) << "line due at " << dueMs << " not heard";
    }
    EXPECT_EQ(cuts, 0);
    // Paused while a line waited, playing once the last of them went to the voice.
    EXPECT_EQ(At(Player->Pauses(), spoken[1].first - 50ms), 1.0);
    Wait(300);
    EXPECT_EQ(At(Player->Pauses(), spoken[3].first + 250ms), 0.0);

    // The user pauses in the middle of the last line: it stays paused.
    WaitForFilm(11.4);
    Wait(600);
    Player->SetPaused(true);
    Wait(3000);
    EXPECT_EQ(At(Player->Pauses(), TClock::now()), 1.0);
    Window->btStopWatch->click();
    Wait(300);
    EXPECT_EQ(At(Player->Pauses(), TClock::now()), 1.0);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}
