// The followed film made room for the voice: its volume dips around speech
// and comes back to the user's level, and with the hold ticked it pauses
// while the voice catches up. On the controller's fakes, with a clock the
// test moves: ticks every 100 ms, the film's volume updated every 25 ms.

#include "ControllerFixture.h"

#include <gmock/gmock.h>

#include <cmath>

using namespace parlino;
using namespace parlino::test;
using ::testing::ElementsAre;

namespace {

class FilmControl : public Controller {
protected:
    void SetUp() override {
        Controller::SetUp();
        Ctl->EnableFilmDucking(Ticks);
        Source->Volume = 0.5;
        View.Duck = true;
    }
    // Runs the film from the clock's position to `toMs`; speech that is due
    // ends at `endsAtMs` (film time), when given.
    void RunTo(int32_t toMs, std::optional<int32_t> endsAtMs = std::nullopt) {
        while (Source->Position < toMs) {
            Ticks.Advance(25);
            if (Source->Playing) Source->Position += 25;
            if (endsAtMs && Source->Position >= *endsAtMs && !Speech->IsIdle()) FinishSpeech();
            if (Source->Position % 100 == 0) Ctl->ProcessTick();
            else Ctl->UpdateFilm();
        }
    }
    // A new run for the next case of a table.
    void Fresh() {
        Ctl.reset();
        View = TFakeView{};
        SetUp();
    }
    // The film's volume against the user's 0.5, in dB.
    double DipDb() const { return 20 * std::log10(*Source->Volume / 0.5); }

    TFakeTickCounter Ticks;
};

} // namespace

TEST_F(FilmControl, TheFilmDipsBeforeTheVoiceAndComesBackAfterWithoutPumpingBetweenCloseLines) {
    // Due at 1001 (spoken at the 1100 tick) until 2000; the next due at 2501.
    Track({{2000, "one"}, {3500, "two"}});
    Ctl->StartPlayback();
    RunTo(900);
    EXPECT_NEAR(DipDb(), 0, 1e-9);
    RunTo(1100);
    EXPECT_THAT(Spoken(), ElementsAre("one"));
    EXPECT_NEAR(DipDb(), -12, 0.01); // fully down as the voice starts
    RunTo(2500, 2000);
    EXPECT_NEAR(DipDb(), -12, 0.01); // 500 ms between the lines: no dip
    RunTo(3950, 3700);
    EXPECT_NEAR(DipDb(), -12, 0.01); // lowered for a while after the end
    RunTo(4300);
    EXPECT_NEAR(DipDb(), 0, 1e-9);   // and back 600 ms after it
    EXPECT_TRUE(View.FilmNotes.empty());
}

TEST_F(FilmControl, AVolumeTheUserSetsWhileLoweredIsWhatTheFilmComesBackTo) {
    Track({{2000, "one"}});
    Ctl->StartPlayback();
    RunTo(1500);
    Source->Volume = *Source->Volume * 2; // the user turns the player up by 6 dB
    RunTo(3000, 2000);
    EXPECT_NEAR(*Source->Volume, 1.0, 1e-9);
}

TEST_F(FilmControl, APlayerThatRoundsItsVolumeAndReportsItLateComesBackToTheUsersLevelAfterEveryLine) {
    Source->VolumeStep = 1.0 / 256;
    Source->EchoLag = 6;
    std::vector<std::pair<int32_t, std::string>> lines;
    for (int i = 0; i < 20; ++i) lines.push_back({2000 + 3000 * i, "line"});
    Track(lines);
    Ctl->StartPlayback();
    for (int i = 0; i < 20; ++i) {
        RunTo(1500 + 3000 * i);
        // Lowered by what was asked, not by a level misread from a late report.
        EXPECT_NEAR(20 * std::log10(Source->VolumeSets.back() / 0.5), -12, 0.1) << i;
        RunTo(3000 + 3000 * i, 1900 + 3000 * i);
    }
    EXPECT_DOUBLE_EQ(Source->VolumeSets.back(), 0.5);
    EXPECT_TRUE(View.FilmNotes.empty());
}

TEST_F(FilmControl, EveryWayARunEndsGivesTheUserLevelBack) {
    const std::vector<std::pair<const char*, std::function<void()>>> endings = {
        {"stop", [this] { Ctl->StopPlayback(); }},
        {"unticked", [this] { View.Duck = false, Ctl->UpdateFilm(); }},
        {"exit", [this] { Ctl.reset(); }},
        {"player gone", [this] { Source->Connected = false, Ctl->ProcessTick(), Source->Connected = true; }},
    };
    for (const auto& [name, end] : endings) {
        SCOPED_TRACE(name);
        Fresh();
        Track({{2000, "one"}});
        Ctl->StartPlayback();
        RunTo(1200);
        ASSERT_LT(*Source->Volume, 0.5);
        end();
        EXPECT_DOUBLE_EQ(*Source->Volume, 0.5);
    }
}

TEST_F(FilmControl, APlayerThatDoesNotTakeAVolumeIsFollowedAndSaidSoOnce) {
    for (bool cannot : {true, false}) {
        Fresh();
        if (cannot) Source->Volume.reset();
        else Source->TakesVolume = false;
        Track({{2000, "one"}, {6000, "two"}});
        Ctl->StartPlayback();
        RunTo(7000, 2500);
        EXPECT_THAT(Spoken(), ElementsAre("one", "two"));
        EXPECT_EQ(View.FilmNotes.size(), 1u) << cannot;
    }
}

TEST_F(FilmControl, TheFilmWaitsForTheVoiceInEitherModeAndNothingIsCut) {
    for (bool queue : {true, false}) {
        SCOPED_TRACE(queue);
        Fresh();
        View.Hold = true, View.Queue = queue, View.Duck = false;
        Source->CanHold = true;
        Track({{2000, "one"}, {2500, "two"}});
        Ctl->StartPlayback();
        RunTo(1600); // "two" is due at 1501 while "one" still speaks
        EXPECT_THAT(Source->Holds, ElementsAre(true));
        const int32_t heldAt = Source->Position;
        Ticks.Advance(1000);
        Ctl->ProcessTick();
        EXPECT_EQ(View.Status1, "Waiting for the voice");
        EXPECT_EQ(Voice->PauseCalls, 0); // the voice goes on while the film waits
        FinishSpeech();
        Ctl->ProcessTick();
        EXPECT_THAT(Spoken(), ElementsAre("one", "two"));
        EXPECT_THAT(Source->Holds, ElementsAre(true)); // until "two" is heard
        Voice->FireStart(Voice->NextStream);
        EXPECT_THAT(Source->Holds, ElementsAre(true, false));
        EXPECT_EQ(Source->Position, heldAt); // "two" starts where the film stopped
        EXPECT_THAT(Spoken(), ElementsAre("one", "two"));
        for (const auto& call : Voice->Calls) EXPECT_FALSE(call.Text.empty()) << "a cut";
    }
}

TEST_F(FilmControl, TheUsersOwnPauseAndPlayAreKept) {
    View.Hold = true, View.Duck = false;
    Source->CanHold = true;
    Track({{2000, "one"}, {2500, "two"}, {2700, "three"}});
    Ctl->StartPlayback();
    RunTo(1600);
    ASSERT_THAT(Source->Holds, ElementsAre(true));
    Source->Playing = true; // the user plays the held film
    RunTo(1800);
    EXPECT_THAT(Source->Holds, ElementsAre(true)); // "three" waits without a second hold
    Source->Playing = false; // the user pauses it
    Ctl->ProcessTick();
    FinishSpeech();
    Ctl->ProcessTick();
    Ctl->StopPlayback();
    EXPECT_THAT(Source->Holds, ElementsAre(true)); // never played again by the program
    EXPECT_FALSE(Source->Playing);
}

TEST_F(FilmControl, StoppingWhileTheFilmIsHeldPlaysItAgain) {
    View.Hold = true;
    Source->CanHold = true;
    Track({{2000, "one"}, {2500, "two"}});
    Ctl->StartPlayback();
    RunTo(1600);
    Ctl->StopPlayback();
    EXPECT_THAT(Source->Holds, ElementsAre(true, false));
    EXPECT_DOUBLE_EQ(*Source->Volume, 0.5);
}
