#include "app/ControllerFixture.h"
#include "players/VirtualPlayer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace parlino;
using namespace parlino::test;
using ::testing::ElementsAre;

TEST_F(Controller, AnEntryIsDueFromJustUnderOneSecondBeforeItsStart) {
    Track({{10000, "ten"}});
    Ctl->StartPlayback();
    EXPECT_EQ(Source->Activations, 1);
    TickAt(9000);
    EXPECT_TRUE(Spoken().empty()); // 1000 ms ahead is not yet due
    TickAt(9001);
    EXPECT_THAT(Spoken(), ElementsAre("ten"));
    EXPECT_EQ(View.Status1, "Playing");
    EXPECT_EQ(View.Status2, "00:00:09");
    FinishSpeech();
    TickAt(10000); // still due, but already spoken in this run
    EXPECT_EQ(Spoken().size(), 1u);
    EXPECT_EQ(Ctl->FindItemAt(10000, 0), nullptr);
    // The window itself: from 999 ms before the start up to the start, and no later.
    Ctl->ResetSpokenFlags();
    EXPECT_EQ(Ctl->FindItemAt(9000, 0), nullptr);
    EXPECT_EQ(Ctl->FindItemAt(9001, 0), &Items[1]);
    EXPECT_EQ(Ctl->FindItemAt(10000, 0), &Items[1]);
    EXPECT_EQ(Ctl->FindItemAt(10001, 0), nullptr);
    EXPECT_EQ(Ctl->FindItemAt(8001, 1000), &Items[1]);
    EXPECT_EQ(Ctl->FindItemAt(9001, 1000), nullptr);
}

TEST_F(Controller, AWaitingEntryStartsOnTheFirstTickTheVoiceIsFree) {
    Track({{1000, "long"}, {1200, "a"}, {2500, "b"}});
    Ctl->StartPlayback();
    TickAt(500);  // "long" is spoken
    TickAt(1100); // "a" is found and waits in the queue
    ASSERT_EQ(Ctl->Queue.size(), 1u);
    FinishSpeech();
    Poster.Pump();
    TickAt(1150); // "a" is still in the search window, but the voice is free
    EXPECT_THAT(Spoken(), ElementsAre("long", "a"));
}

TEST_F(Controller, ABackwardSeekWhilePausedIsSeenAtTheFirstPlayingTick) {
    Track({{3000, "three"}});
    Ctl->StartPlayback();
    TickAt(2500);
    TickAt(5000);
    ASSERT_EQ(Spoken().size(), 1u);
    FinishSpeech();
    Source->Playing = false;
    TickAt(5000);
    TickAt(2200); // moved back while paused: nothing happens yet
    TickAt(2200);
    EXPECT_EQ(Spoken().size(), 1u);
    Source->Playing = true;
    TickAt(2200); // playing again, 2800 ms back from the last playing tick
    EXPECT_EQ(Spoken().size(), 2u);
}

TEST_F(Controller, AtTheStartExactlyTheEntryIsStillFoundAndTheShiftMovesTheWindow) {
    Track({{10000, "ten"}});
    Ctl->StartPlayback();
    TickAt(10000);
    EXPECT_THAT(Spoken(), ElementsAre("ten"));
    // With a shift of +2 s the entry is due between 2999 and 2000 ms before its start.
    Track({{10000, "ten"}});
    Ctl->StartPlayback();
    Ctl->TimeShift = 2000;
    FinishSpeech();
    TickAt(7000);
    EXPECT_EQ(Spoken().size(), 1u);
    TickAt(7001);
    EXPECT_EQ(Spoken().size(), 2u);
}

// Two speakers at one moment and a line 50 ms later: all are heard in file
// order, none cuts another off; a line due later still cuts in interrupt mode.
TEST_F(Controller, EntriesDueTogetherAreAllSpokenInFileOrderInEveryMode) {
    struct TMode {
        const char* Name;
        bool Queue, Fit;
    };
    for (const TMode mode : {TMode{"queue", true, false}, TMode{"interrupt", false, false}, TMode{"fit", true, true}}) {
        SCOPED_TRACE(mode.Name);
        Ctl.reset();
        SetUp();
        View.Queue = mode.Queue;
        View.Fit = mode.Fit;
        Track({{5000, "first"}, {5000, "second"}, {5050, "third"}, {8000, "later"}});
        Ctl->StartPlayback();
        TickAt(4001); // "first" and "second" fall due
        TickAt(4051); // "third" falls due while "first" is spoken
        EXPECT_THAT(Spoken(), ElementsAre("first"));
        for (const int32_t p : {4100, 4200}) {
            FinishSpeech();
            TickAt(p);
        }
        EXPECT_THAT(Spoken(), ElementsAre("first", "second", "third"));
        TickAt(7001); // "later" falls due while "third" is spoken
        if (mode.Queue) {
            EXPECT_THAT(Spoken(), ElementsAre("first", "second", "third"));
            FinishSpeech();
            TickAt(7100);
        }
        EXPECT_THAT(Spoken(), ElementsAre("first", "second", "third", "later"));
        int purges = 0;
        for (const auto& c : Voice->Calls) purges += c.Text.empty();
        EXPECT_EQ(purges, mode.Queue ? 0 : 1);
    }
}

TEST_F(Controller, InInterruptModeALaterEntryAlsoDropsTheEarlierOnesStillWaiting) {
    View.Queue = false;
    Track({{5000, "first"}, {5000, "second"}, {5500, "new"}});
    Ctl->StartPlayback();
    TickAt(4100);
    TickAt(4501); // "new" cuts off "first", and "second" is not spoken after it
    EXPECT_THAT(Spoken(), ElementsAre("first", "new"));
    EXPECT_TRUE(Ctl->Queue.empty());
}

TEST_F(Controller, AnEntryWithNothingToSayIsFoundButNotSpoken) {
    Track({{500, ""}, {600, "text"}});
    Ctl->StartPlayback();
    TickAt(-200); // the leading entry, the empty one and "text" fall due
    EXPECT_THAT(Spoken(), ElementsAre("text"));
    EXPECT_TRUE(Items[0].Spoken && Items[1].Spoken);
}

TEST_F(Controller, OnlyAJumpOfMoreThanOneSecondBackSilencesAndAllowsRepeats) {
    Track({{3000, "three"}});
    Ctl->StartPlayback();
    TickAt(2500);
    ASSERT_EQ(Spoken().size(), 1u);
    TickAt(3500);
    TickAt(2500); // exactly 1000 ms back: not a jump
    EXPECT_EQ(Spoken().size(), 1u);
    EXPECT_FALSE(Speech->IsIdle());
    TickAt(3501);
    TickAt(2500); // 1001 ms back: the voice stops and the entry may be spoken again
    ASSERT_GE(Voice->Calls.size(), 2u);
    EXPECT_EQ(Voice->Calls[Voice->Calls.size() - 2].Flags, SVSFPurgeBeforeSpeak);
    EXPECT_EQ(Spoken().size(), 2u);
}

TEST_F(Controller, TheVoicePausesWithTheSourceAndResumesWithIt) {
    Track({{1000, "one"}});
    Ctl->StartPlayback();
    TickAt(500);
    ASSERT_EQ(Spoken().size(), 1u);
    Source->Playing = false;
    TickAt(600);
    EXPECT_EQ(View.Status1, "Stopped");
    EXPECT_TRUE(Speech->IsPaused());
    EXPECT_TRUE(Voice->IsPaused);
    TickAt(600);
    EXPECT_EQ(Voice->PauseCalls, 1); // paused once, not on every tick
    Source->Playing = true;
    TickAt(700);
    EXPECT_FALSE(Speech->IsPaused());
    EXPECT_EQ(Voice->ResumeCalls, 1);
}

TEST_F(Controller, EntriesFoundDuringALongSpeechWaitInTheQueueInOrder) {
    Track({{1000, "long"}, {1500, "a"}, {2000, "b"}, {2500, "c"}});
    Ctl->StartPlayback();
    for (int32_t p = 100; p <= 2500; p += 100) TickAt(p); // "long" is still being spoken
    EXPECT_THAT(Spoken(), ElementsAre("long"));
    EXPECT_EQ(Ctl->Queue.size(), 3u);
    for (int32_t p = 2600; p <= 3000; p += 100) {
        FinishSpeech();
        TickAt(p);
    }
    EXPECT_THAT(Spoken(), ElementsAre("long", "a", "b", "c"));
}

TEST_F(Controller, UntickedQueueLetsEachNewEntryCutOffTheCurrentOne) {
    View.Queue = false;
    Track({{1000, "long"}, {1500, "a"}, {2000, "b"}, {2500, "c"}});
    Ctl->StartPlayback();
    for (int32_t p = 100; p <= 3000; p += 100) TickAt(p);
    // Each newly found entry stops the voice and is spoken in the same tick.
    EXPECT_THAT(Spoken(), ElementsAre("long", "a", "b", "c"));
    int purges = 0;
    for (const auto& c : Voice->Calls) purges += c.Text.empty();
    EXPECT_EQ(purges, 3);
}

TEST_F(Controller, ANewStartLetsEntriesDroppedFromTheQueueBeSpokenAgain) {
    Track({{1000, "long"}, {1500, "a"}, {2000, "b"}});
    Ctl->StartPlayback();
    for (int32_t p = 100; p <= 2000; p += 100) TickAt(p);
    ASSERT_EQ(Ctl->Queue.size(), 2u);
    Ctl->StopPlayback();
    EXPECT_TRUE(Ctl->Queue.empty());
    Ctl->StartPlayback();
    TickAt(1400);
    EXPECT_THAT(Spoken(), ElementsAre("long", "a"));
}

TEST_F(Controller, AutoScrollKeepsTheSelectedRowInItsPlaceOnScreen) {
    Track({{1000, "a"}, {2000, "b"}, {3000, "c"}});
    View.Selected = 3;
    View.Top = 2;
    Ctl->StartPlayback();
    TickAt(2500); // "c", element 3, grid row 4
    EXPECT_EQ(View.Selected, 4);
    EXPECT_EQ(View.Top, 3);
    View.Scroll = false;
    FinishSpeech();
    Ctl->StartPlayback();
    TickAt(500);
    EXPECT_EQ(View.Selected, 4);
}

TEST_F(Controller, UnreachableSourceShowsTheWaitingText) {
    Track({{1000, "a"}});
    Ctl->StartPlayback();
    Source->Connected = false;
    TickAt(500);
    EXPECT_EQ(View.Warning, "Waiting..\r\nPlease, run \"Media Player Classic (or MPC HC)\" and start video there.");
    EXPECT_EQ(View.Status1, "");
    EXPECT_TRUE(Spoken().empty());
    Source->Connected = true;
    TickAt(600);
    EXPECT_EQ(View.Warning, "");
    EXPECT_EQ(Spoken().size(), 1u);
}

TEST_F(Controller, AFacadeWithoutAVoiceIsReportedOncePerRun) {
    TUbSmartSpeechBackends none;
    TUbSmartSpeech silent(std::move(none), Codec, Poster);
    TPlaybackController ctl(View, silent, Items);
    ctl.Connection = Source;
    Track({{1000, "a"}, {2000, "b"}});
    ctl.StartPlayback();
    for (int32_t p = 100; p <= 3000; p += 100) {
        Source->Position = p;
        ctl.ProcessTick();
    }
    EXPECT_EQ(View.Errors.size(), 1u);
    EXPECT_EQ(View.Errors[0], "TUbSmartSpeech.GetInfo: Select voice first!");
    ctl.StopPlayback();
    ctl.StartPlayback();
    Source->Position = 500;
    ctl.ProcessTick();
    EXPECT_EQ(View.Errors.size(), 2u);
}

TEST_F(Controller, StartUsesTheSoundCardAndSelectedItemStartClamps) {
    Track({{1000, "a"}, {2000, "b"}});
    View.SoundCard = 0;
    Ctl->StartPlayback();
    EXPECT_EQ(Speech->AudioOutput, -1);
    View.SoundCard = -1;
    Ctl->StartPlayback();
    EXPECT_EQ(Speech->AudioOutput, -2);
    View.Selected = 3;
    EXPECT_EQ(Ctl->SelectedItemStart(), 2000);
    View.Selected = 10;
    EXPECT_EQ(Ctl->SelectedItemStart(), 2000);
    Items.resize(1);
    EXPECT_EQ(Ctl->SelectedItemStart(), 0);
    Ctl->StopPlayback();
    EXPECT_FALSE(Ctl->Running);
    EXPECT_EQ(View.Status1, "");
}

TEST_F(Controller, AnUnreadablePositionEndsTheTickIsReportedOncePerRunAndFollowingGoesOn) {
    Track({{1000, "a"}, {5000, "b"}});
    Ctl->StartPlayback();
    TickAt(500);
    EXPECT_THAT(Spoken(), ElementsAre("a"));
    FinishSpeech();
    Poster.Pump();
    Source->Unreadable = "'xx' is not a valid time";
    View.Status1 = "unchanged";
    for (int32_t p = 600; p < 4000; p += 100) TickAt(p);
    EXPECT_THAT(View.Errors, ElementsAre("'xx' is not a valid time"));
    EXPECT_EQ(View.Status1, "unchanged"); // the failed tick changes nothing else
    EXPECT_EQ(View.Warning, "");
    // Readable again: following goes on where the player stands, without
    // taking the frozen last position for a backward jump.
    Source->Unreadable.clear();
    TickAt(4500);
    EXPECT_EQ(View.Status1, "Playing");
    EXPECT_THAT(Spoken(), ElementsAre("a", "b"));
    Source->Unreadable = "again";
    TickAt(4600);
    EXPECT_EQ(View.Errors.size(), 1u); // still the same run
    Ctl->StopPlayback();
    Ctl->StartPlayback();
    TickAt(4700);
    EXPECT_EQ(View.Errors.size(), 2u);
}

TEST_F(Controller, TheTimeUntilTheNextEntryBecomesDueIsKnownWhenItIsUnderATick) {
    Track({{10000, "a"}, {10030, "b"}});
    Ctl->StartPlayback();
    TickAt(8800);
    EXPECT_FALSE(Ctl->NextDueInMs().has_value()); // 201 ms away: the regular ticks will do
    TickAt(8950);
    EXPECT_EQ(Ctl->NextDueInMs(), 51);
    TickAt(9001); // "a" is due now; "b" 30 ms later
    EXPECT_EQ(Ctl->NextDueInMs(), 30);
    Ctl->TimeShift = 1000;
    TickAt(7950);
    EXPECT_EQ(Ctl->NextDueInMs(), 51);
    Source->Playing = false;
    TickAt(7950);
    EXPECT_FALSE(Ctl->NextDueInMs().has_value());
}

TEST_F(Controller, ASpeakThatFailsDoesNotLeaveTheQueueWaitingForAnIdleVoice) {
    Track({{1000, "first"}, {3000, "second"}});
    Ctl->StartPlayback();
    Voice->FailSpeak = true; // the chosen card has just gone
    TickAt(500);
    EXPECT_EQ(View.Errors.size(), 1u);
    Voice->FailSpeak = false;
    TickAt(2500);
    ASSERT_FALSE(Voice->Calls.empty());
    EXPECT_NE(Voice->Calls.back().Text.find(u"second"), std::u16string::npos)
        << "the run waits for a voice that never speaks";
}
