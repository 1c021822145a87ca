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
    // The film's position at `at`, from mpv's own reports.
    double FilmAt(TClock::time_point at) { return At(Player->Samples(), at).value_or(-1); }
};

} // namespace

// mpv's volume is a percentage on a cubic scale; its MPRIS plugin passes
// the bus's linear Volume to it as a percentage, so the dip reads on
// mpv's scale as it was asked on the bus.
struct TDuckedPlayer {
    TPlayerType Type;
    bool Mpris;
    double DbPerDecade; // of mpv's volume percentage
    // The bus reports positions less often: the dip may start earlier.
    std::chrono::milliseconds Before;
};

TEST_F(FilmControlE2E, MpvsVolumeDipsWhileALineIsHeardAndComesBackAlsoAfterSigterm) {
    for (const TDuckedPlayer player : {TDuckedPlayer{TPlayerType::Mpv, false, 60, 250ms}, {TPlayerType::Mpris, true, 20, 800ms}}) {
        SCOPED_TRACE(player.Mpris ? "MPRIS" : "mpv");
        if (player.Mpris) {
            TearDown();
            SetUp();
        }
        StartPlayer(player.Mpris);
        Player->Command(R"({"command":["set_property","volume",80]})");
        Window->chkDuckFilm->setChecked(true);
        Window->eDuckDb->setValue(15);
        Follow(player.Type, {{2000, "The film is lower while this line is spoken."},
                             {6000, "And this one is cut off by the end of the program."}});
        Wait(400);
        PlayFilmTo(1.2);
        Wait(3500);
        const auto dip = [&](TClock::time_point at) {
            const std::optional<double> volume = At(Player->Volumes(), at);
            return volume ? player.DbPerDecade * std::log10(*volume / 80) : NAN;
        };
        const auto onset = Rec->FirstSound(Since, TClock::now());
        ASSERT_TRUE(onset.has_value()) << "the line was not heard";
        const auto end = *Rec->LastSound(*onset, *onset + 3000ms);
        const auto middle = *onset + (end - *onset) / 2;
        std::printf("heard %.0f ms; dip %.1f dB 250 ms before, %.1f dB 50 ms after the onset, %.1f dB in the "
                    "middle, %.1f dB 800 ms after\n",
                    Ms(end - *onset), dip(*onset - 250ms), dip(*onset + 50ms), dip(middle), dip(end + 800ms));
        EXPECT_NEAR(dip(*onset - player.Before), 0, 0.01);
        EXPECT_NEAR(dip(*onset + 50ms), -15, 1);
        EXPECT_NEAR(dip(middle), -15, 0.1);
        EXPECT_NEAR(dip(end + 800ms), 0, 0.01);

        // SIGTERM in the middle of the next line ends the program as File /
        // Exit does, and mpv is left at the user's level.
        TShutdownSignals shutdown([this] { Window.reset(); });
        WaitForFilm(5.3);
        Wait(400);
        ASSERT_LT(dip(TClock::now()), -14);
        ::kill(::getpid(), SIGTERM);
        for (int i = 0; i < 50 && Window; ++i) Wait(20);
        ASSERT_FALSE(Window);
        Wait(300);
        EXPECT_NEAR(dip(TClock::now()), 0, 0.01);
    }
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
        ASSERT_TRUE(Rec->WaitUntilRecorded(at + 1500ms));
        const auto heard = Rec->FirstSound(at, at + 1500ms);
        ASSERT_TRUE(heard.has_value()) << "line due at " << dueMs << " not heard";
        // Where the film stood when the line was heard; mpv reports its
        // position some tens of ms apart, and the last report before the
        // moment is what is compared.
        const double late = FilmAt(*heard) * 1000 - dueMs;
        std::printf("due at film %6d ms, heard at film %+4.0f ms (%.0f ms after it went to the voice)\n", dueMs,
                    late, Ms(*heard - at));
        EXPECT_LE(late, 150);
        EXPECT_GE(late, -100);
    }
    EXPECT_EQ(cuts, 0);
    int holds = 0;
    for (const auto& pause : Player->Pauses())
        if (pause.At > Since && pause.At < spoken[3].first && pause.Seconds == 1.0) ++holds;
    std::printf("mpv paused %d times for the voice\n", holds);
    EXPECT_GE(holds, 1);
    EXPECT_LE(holds, 3); // at most once for each line that waited
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
