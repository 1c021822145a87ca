// "Fit speech into subtitle time" on the controller, with a voice whose
// spoken lengths the test scripts: each text has a length at the chosen
// speed, and at factor f the voice takes that length times Stretch over f.

#include "app/ControllerFixture.h"

#include <gmock/gmock.h>

#include <map>

using namespace parlino;
using namespace parlino::test;
using ::testing::ElementsAre;

namespace {

class Fitting : public Controller {
protected:
    void SetUp() override {
        Controller::SetUp();
        View.Fit = true;
        Ctl->OnSpoken = [this](const TSpokenEntry& e) { Reports.push_back(e); };
    }
    static std::string Plain(const WideString& text) {
        std::string s(text.begin(), text.end());
        return s.substr(0, s.size() - 2); // without the CR LF every text ends in
    }
    // Before any entry is due (the row before the first entry starts at 0).
    void TickBefore() { TickAt(-1500); }
    // Reports every synthesis ahead not yet reported, with its scripted length.
    void Settle() {
        for (; Fired < Voice->Prepared.size(); ++Fired) {
            const auto& call = Voice->Prepared[Fired];
            const auto known = Lengths.find(Plain(call.Text));
            const double base = known == Lengths.end() ? 0.0 : double(known->second);
            const double length = base * (call.Factor > 1.0 ? Stretch : 1.0);
            Voice->FirePrepared(call.Id, std::llround(length / call.Factor));
        }
    }
    std::vector<double> PreparedFactorsOf(const std::string& text) const {
        std::vector<double> factors;
        for (const auto& call : Voice->Prepared)
            if (Plain(call.Text) == text) factors.push_back(call.Factor);
        return factors;
    }

    std::map<std::string, int64_t> Lengths;
    double Stretch = 1.0;
    size_t Fired = 0;
    std::vector<TSpokenEntry> Reports;
};

} // namespace

TEST_F(Fitting, AnEntryThatFitsKeepsTheChosenSpeedAndOneThatDoesNotIsSpedUpJustEnough) {
    // "a" is due at 1 and has until "b" is due at 3001: 3000 ms.
    Track({{1000, "a"}, {4000, "b"}, {9000, "c"}});
    Lengths = {{"a", 2500}, {"b", 6000}, {"c", 1000}};
    Ctl->StartPlayback();
    TickBefore();
    // Everything due within the look-ahead is synthesised at the chosen speed.
    EXPECT_THAT(PreparedFactorsOf("a"), ElementsAre(1.0));
    EXPECT_THAT(PreparedFactorsOf("c"), ElementsAre(1.0));
    Settle();
    // "b" (6000 ms into 5000 ms, less a margin of 60 ms) is synthesised ahead
    // at the factor that fits it.
    EXPECT_THAT(PreparedFactorsOf("b"), ElementsAre(1.0, 1.22));
    EXPECT_TRUE(PreparedFactorsOf("a").size() == 1);
    Settle();

    TickAt(1);
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0].Factor, 1.0);
    EXPECT_EQ(Reports[0].ExpectedMs, 2500);
    EXPECT_EQ(Reports[0].DueMs, 1);
    FinishSpeech();
    TickAt(3001);
    ASSERT_EQ(Reports.size(), 2u);
    EXPECT_EQ(Reports[1].Factor, 1.22); // exactly the factor its audio was synthesised at
    EXPECT_EQ(Reports[1].ExpectedMs, 4918);
    EXPECT_THAT(Voice->SpeakFactors, ElementsAre(1.0, 1.22));
    // The facade is back at the chosen speed for anything else.
    EXPECT_EQ(Speech->SpeedFactor, 1.0);
}

TEST_F(Fitting, TheCeilingHoldsAndChangingItFitsAgain) {
    Track({{1000, "a"}, {4000, "b"}});
    Lengths = {{"a", 6000}, {"b", 1000}};
    Ctl->StartPlayback();
    TickBefore();
    Settle();
    EXPECT_THAT(PreparedFactorsOf("a"), ElementsAre(1.0, 1.5));
    View.CeilingPercent = 300;
    TickAt(-1400);
    Settle();
    EXPECT_THAT(PreparedFactorsOf("a"), ElementsAre(1.0, 1.5, 2.05));
    View.CeilingPercent = 120;
    TickAt(1);
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0].Factor, 1.2);
    EXPECT_EQ(Reports[0].ExpectedMs, 5000);
}

TEST_F(Fitting, AnEngineThatDoesNotFollowTheFactorExactlyIsFittedOnceMore) {
    Track({{1000, "a"}, {4000, "b"}});
    Lengths = {{"a", 3600}, {"b", 1000}};
    Stretch = 1.1; // at 1.23 the engine takes 3220 ms, not 2927
    Ctl->StartPlayback();
    TickBefore();
    Settle();
    Settle();
    EXPECT_THAT(PreparedFactorsOf("a"), ElementsAre(1.0, 1.23, 1.35));
    TickAt(1);
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0].Factor, 1.35);
    EXPECT_EQ(Reports[0].ExpectedMs, 2933);
}

TEST_F(Fitting, InQueueModeAnEntryThatWaitedGetsTheTimeThatIsLeft) {
    Track({{1000, "a"}, {2000, "b"}, {6000, "c"}});
    Items.back().EndMs = 8000; // the last entry has until its end
    Lengths = {{"a", 3000}, {"b", 3000}, {"c", 500}};
    View.CeilingPercent = 300;
    Ctl->StartPlayback();
    TickBefore();
    Settle();
    Settle();
    TickAt(1); // "a" needs 3000 ms in 1000: at 300 % it takes 1000
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0].Factor, 3.0);
    TickAt(1001); // "b" is due but waits
    EXPECT_EQ(Reports.size(), 1u);
    TickAt(2600);
    EXPECT_EQ(View.Lateness, "Voice 1.6 s behind");
    FinishSpeech();
    TickAt(2700); // 1700 ms late, 2301 ms left until "c" is due
    ASSERT_EQ(Reports.size(), 2u);
    EXPECT_EQ(Reports[1].DueMs, 1001);
    EXPECT_EQ(Reports[1].SpeakMs, 2700);
    EXPECT_EQ(Reports[1].Factor, 1.34); // 3000 / (2301 - 60), rounded up
    EXPECT_LE(Reports[1].ExpectedMs, 2301);
    EXPECT_EQ(View.Lateness, "Voice 1.7 s behind");
    FinishSpeech();
    TickAt(5001);
    EXPECT_EQ(Reports[2].Factor, 1.0);
    EXPECT_EQ(View.Lateness, ""); // back in time
}

TEST_F(Fitting, AWaitingEntryIsServedAtTheFirstTickTheVoiceIsFree) {
    Track({{1000, "a"}, {2000, "b"}});
    Lengths = {{"a", 1000}, {"b", 500}};
    Ctl->StartPlayback();
    TickBefore();
    Settle();
    TickAt(1);
    TickAt(1001); // "b" is due and waits
    FinishSpeech();
    TickAt(1101); // "b" is still found, already spoken: the queue is served all the same
    EXPECT_EQ(Reports.size(), 2u);
}

TEST_F(Fitting, WithoutTheSettingNothingIsSynthesisedAheadOrSpedUp) {
    View.Fit = false;
    Track({{1000, "a"}, {2000, "b"}});
    Lengths = {{"a", 9000}, {"b", 9000}};
    Ctl->StartPlayback();
    TickBefore();
    EXPECT_FALSE(Ctl->AheadPending(0, 1000));
    TickAt(1);
    TickAt(1001);
    EXPECT_TRUE(Voice->Prepared.empty());
    EXPECT_THAT(Voice->SpeakFactors, ElementsAre(1.0));
    EXPECT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0].ExpectedMs, -1);
}

TEST_F(Fitting, TheRenderWaitsForTheLengthsOfEntriesDueSoon) {
    Track({{1000, "a"}, {30000, "far"}});
    Lengths = {{"a", 500}, {"far", 500}};
    Ctl->StartPlayback();
    EXPECT_TRUE(Ctl->AheadPending(0, 100)); // plans "a" and waits for it
    EXPECT_THAT(PreparedFactorsOf("far"), ElementsAre()); // beyond the look-ahead
    Settle();
    EXPECT_FALSE(Ctl->AheadPending(0, 100));
    // Nor is a text the voice dropped before it was done.
    Track({{1000, "a"}});
    Ctl->StartPlayback();
    EXPECT_TRUE(Ctl->AheadPending(0, 100));
    for (size_t i = Fired; i < Voice->Prepared.size(); ++i) Voice->FirePrepared(Voice->Prepared[i].Id, -1);
    Fired = Voice->Prepared.size();
    EXPECT_FALSE(Ctl->AheadPending(0, 100));
    // A voice that cannot synthesise ahead is not waited for.
    Voice->CanPrepare = false;
    Track({{1000, "a"}});
    Ctl->StartPlayback();
    EXPECT_FALSE(Ctl->AheadPending(0, 100));
    TickAt(1);
    EXPECT_THAT(Voice->SpeakFactors, ElementsAre(1.0));
}

TEST_F(Fitting, NewVoiceSettingsSynthesiseAgainAndAJumpBackForgetsEverything) {
    Track({{1000, "a"}, {4000, "b"}});
    Lengths = {{"a", 1000}, {"b", 1000}, {"\\Spd=200\\a", 800}, {"\\Spd=200\\b", 800}};
    Ctl->StartPlayback();
    TickBefore();
    Settle();
    View.Tags = "\\Spd=200\\";
    TickAt(-1400);
    EXPECT_THAT(PreparedFactorsOf("\\Spd=200\\a"), ElementsAre(1.0));
    const int discardsBefore = Voice->DiscardCalls;
    TickAt(5000);
    TickAt(2000); // three seconds back
    EXPECT_EQ(Voice->DiscardCalls, discardsBefore + 1);
}

TEST_F(Fitting, InInterruptModeTheCutIsReported) {
    View.Queue = false;
    Track({{1000, "a"}, {2000, "b"}});
    Lengths = {{"a", 5000}, {"b", 500}};
    View.CeilingPercent = 100;
    std::vector<std::pair<size_t, int32_t>> cuts;
    Ctl->OnCut = [&](size_t index, int32_t at) { cuts.emplace_back(index, at); };
    Ctl->StartPlayback();
    TickBefore();
    Settle();
    TickAt(1);
    TickAt(1001);
    EXPECT_THAT(cuts, ElementsAre(std::pair<size_t, int32_t>{1, 1001}));
    ASSERT_EQ(Reports.size(), 2u);
    EXPECT_EQ(Reports[0].Factor, 1.0); // a ceiling of 100 % never speeds up
}

TEST_F(Fitting, LinesDueTogetherShareTheirTimeByTheLengthOfTheirText) {
    // Due together at 1, with 3000 ms until "c": "aa" has the first third,
    // "bbbb" the rest.
    View.CeilingPercent = 200;
    Track({{1000, "aa"}, {1000, "bbbb"}, {4000, "c"}});
    Lengths = {{"aa", 1500}, {"bbbb", 3000}, {"c", 500}};
    Ctl->StartPlayback();
    TickBefore();
    Settle();
    EXPECT_THAT(PreparedFactorsOf("aa"), ElementsAre(1.0, 1.6));    // 1500 ms into 1000 less the margin
    EXPECT_THAT(PreparedFactorsOf("bbbb"), ElementsAre(1.0, 1.55)); // 3000 ms into 2000 less the margin
    Settle();
    TickAt(1);
    FinishSpeech();
    TickAt(951);
    ASSERT_EQ(Reports.size(), 2u);
    EXPECT_EQ(Reports[0].Factor, 1.6);
    EXPECT_EQ(Reports[1].Factor, 1.55);
    EXPECT_EQ(Reports[1].DueMs, 1001); // where its share of the time begins
}
