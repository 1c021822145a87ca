// The control tags of the legacy voices, as the Flite layer reads them.

#include "platform/linux/TTSControlTags.h"

#include <gtest/gtest.h>

using namespace parlino;

namespace {

TTSLimits Limits() {
    TTSLimits l;
    l.MinSpeed = 60, l.MaxSpeed = 400, l.MinPitch = 50, l.MaxPitch = 400, l.MaxPauseMs = 10000;
    l.Defaults = {170, 100, 0xFFFFFFFF};
    return l;
}

std::vector<TTSTextPiece> Parse(std::string_view text, TTSProsody& state, bool tagged = true) {
    return ParseControlTags(text, tagged, state, Limits());
}

} // namespace

TEST(TTSControlTags, ParametersApplyToTheTextAfterThemAndOffsetsPointIntoTheGivenText) {
    TTSProsody state = Limits().Defaults;
    const std::string text = " \\Spd=200\\  \\pit=150\\ \\VOL=65535\\ Hello \\Spd=100\\world";
    const auto pieces = Parse(text, state);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].Text, " Hello ");
    EXPECT_EQ(pieces[0].Prosody, (TTSProsody{200, 150, 65535}));
    EXPECT_EQ(text.substr(pieces[0].Offset, 7), " Hello ");
    EXPECT_EQ(pieces[1].Text, "world");
    EXPECT_EQ(pieces[1].Prosody.Speed, 100u);
    EXPECT_EQ(text.substr(pieces[1].Offset), "world");
    EXPECT_EQ(state, (TTSProsody{100, 150, 65535})); // the tags stay in force
}

TEST(TTSControlTags, PausesResetsMarksAndUnknownTags) {
    TTSProsody state{300, 300, 5};
    const std::string text = "one \\Pau=500\\two\\Emp\\three\\Rst\\four\\Mrk=7\\five\\Pau=250\\";
    const auto pieces = Parse(text, state);
    ASSERT_EQ(pieces.size(), 6u);
    EXPECT_EQ(pieces[0].Text, "one ");
    EXPECT_EQ(pieces[1].SilenceMs, 500u);
    EXPECT_EQ(pieces[1].Text, "two");
    EXPECT_EQ(pieces[2].Text, "three"); // an unknown tag is not spoken
    EXPECT_EQ(text.substr(pieces[2].Offset, 5), "three");
    EXPECT_EQ(pieces[2].Prosody, (TTSProsody{300, 300, 5}));
    EXPECT_EQ(pieces[3].Text, "four");
    EXPECT_EQ(pieces[3].Prosody, Limits().Defaults);
    EXPECT_EQ(pieces[4].Bookmark, 7u);
    EXPECT_EQ(pieces[4].Text, "five");
    EXPECT_EQ(pieces[5].Text, "");
    EXPECT_EQ(pieces[5].SilenceMs, 250u); // a pause at the end is kept
}

TEST(TTSControlTags, AbsurdValuesAreClampedOrIgnored) {
    TTSProsody state = Limits().Defaults;
    Parse("\\Spd=99999999999999999999\\\\Pit=0\\\\Pau=4294967295\\x", state);
    EXPECT_EQ(state.Speed, 400u);
    EXPECT_EQ(state.Pitch, 50);
    auto pieces = Parse("\\Pau=4294967295\\\\Pau=4294967295\\x", state);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].SilenceMs, 10000u); // no pause longer than the limit
    for (const char* bad : {"\\Spd=abc\\", "\\Spd=-5\\", "\\Spd=\\", "\\Spd\\", "\\Spd=1 2\\"}) {
        TTSProsody s = Limits().Defaults;
        Parse(bad, s);
        EXPECT_EQ(s, Limits().Defaults) << bad;
    }
    state = Limits().Defaults;
    Parse("\\Vol=4294967296\\", state);
    EXPECT_EQ(state.Volume, 0xFFFFFFFFu);
}

TEST(TTSControlTags, UnterminatedTagsAndUntaggedText) {
    TTSProsody state = Limits().Defaults;
    const std::string text = "say \\Spd=200 this";
    auto pieces = Parse(text, state);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].Text, "say ");
    EXPECT_EQ(pieces[1].Text, "Spd=200 this"); // only the backslash is dropped
    EXPECT_EQ(text.substr(pieces[1].Offset), "Spd=200 this");
    EXPECT_EQ(state, Limits().Defaults);

    pieces = Parse("a \\Spd=200\\ b", state, false);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].Text, "a \\Spd=200\\ b");
    EXPECT_EQ(state, Limits().Defaults);

    std::string many(100000, '\\');
    EXPECT_TRUE(Parse(many, state).empty());
    EXPECT_TRUE(Parse("", state).empty());
}

// Long texts reach Flite in sentence-sized stretches.
#include "platform/linux/TFliteEngine.h"

TEST(FliteSplitForSynthesis, CutsAfterSentencesThenClausesThenBlanksAndCoversTheText) {
    using TChunks = std::vector<std::pair<size_t, size_t>>;
    EXPECT_EQ(SplitForSynthesis("Short text. Stays whole.", 250), (TChunks{{0, 24}}));
    EXPECT_EQ(SplitForSynthesis("One two. Three, four five six", 20), (TChunks{{0, 8}, {8, 7}, {15, 14}}));
    EXPECT_EQ(SplitForSynthesis("aaaa bbbb cccc dddd", 10), (TChunks{{0, 9}, {9, 10}}));
    EXPECT_EQ(SplitForSynthesis(std::string(25, 'x'), 10), (TChunks{{0, 10}, {10, 10}, {20, 5}}));
    EXPECT_TRUE(SplitForSynthesis("", 10).empty());
    // A short first stretch, then long ones.
    EXPECT_EQ(SplitForSynthesis("Where were you, when the lights went out all over the town?", 250, 20),
              (TChunks{{0, 15}, {15, 44}}));
    EXPECT_EQ(SplitForSynthesis("Where were you last night", 250, 12), (TChunks{{0, 10}, {10, 15}}));
    EXPECT_EQ(SplitForSynthesis("Short.", 250, 12), (TChunks{{0, 6}}));
    EXPECT_TRUE(EndsSentence("Where were you?\" "));
    EXPECT_TRUE(EndsSentence("Stop. "));
    EXPECT_FALSE(EndsSentence("Where were you,"));
    EXPECT_FALSE(EndsSentence(""));
    std::string huge;
    while (huge.size() < 100000) huge += "word and more words, ";
    size_t covered = 0;
    for (const auto& [offset, length] : SplitForSynthesis(huge)) {
        EXPECT_EQ(offset, covered);
        EXPECT_LE(length, 250u);
        covered += length;
    }
    EXPECT_EQ(covered, huge.size());
}
