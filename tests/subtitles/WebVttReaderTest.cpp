// The WebVTT reader on files of public WebVTT test suites (web-platform-tests,
// vtt.js, pysubs2) and on files of our own for what those do not cover;
// tests/data/webvtt/SOURCE.md names where each comes from.

#include "subtitles/WebVttReader.h"
#include "platform/TSystemServices.h"
#include "subtitles/SubtitleReaders.h"

#include <gtest/gtest.h>

using namespace parlino;

namespace {

const TSystemCodec codec(1252);

std::string Data(const std::string& name) {
    return std::string(PARLINO_TEST_DATA) + "/webvtt/" + name;
}

TslItems Vtt(const std::string& name, std::string* emptyReason = nullptr) {
    TslItems items(3); // a previous track that must be replaced
    ReadVttFile(Data(name), items, codec, emptyReason);
    return items;
}

struct TCue {
    int32_t StartMs, EndMs;
    std::string Speech;
    bool operator==(const TCue&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TCue& cue) {
    return out << "{" << cue.StartMs << ", " << cue.EndMs << ", \"" << cue.Speech << "\"}";
}

// The entries after the leading one, which must be there and empty.
std::vector<TCue> Cues(const TslItems& items) {
    std::vector<TCue> cues;
    EXPECT_FALSE(items.empty());
    if (items.empty())
        return cues;
    EXPECT_EQ(items[0].StartMs, 0);
    EXPECT_EQ(items[0].DisplayText, "");
    EXPECT_EQ(items[0].SpeechText, "");
    for (size_t i = 1; i < items.size(); ++i)
        cues.push_back({items[i].StartMs, items[i].EndMs, items[i].SpeechText});
    return cues;
}

std::vector<std::string> Speech(const TslItems& items) {
    std::vector<std::string> texts;
    for (const TCue& cue : Cues(items))
        texts.push_back(cue.Speech);
    return texts;
}

} // namespace

TEST(WebVtt, IdentifiersSettingsNotesStylesAndRegionsOfARealFile) {
    // pysubs2's example: a header with text, NOTE, STYLE and REGION blocks,
    // cue identifiers, cue settings, voice, language, class and ruby tags, a
    // cue without text and a "cue" of JSON.
    const TslItems items = Vtt("pysubs2_vtt_example.vtt");
    const std::vector<TCue> expected = {
        {8013, 16000, "Cyan!"},
        {16000, 24000, "I like lime."},
        {17400, 18000, "- Hello world."},
        {22230, 24606,
         "This is the first subtitle. Yellow! Yellow!"}, // the <rt> reading is left out
        {30739, 34074, "This is the second."},
        {37159, 38743, "This is the third"},
        {50159, 51743, "This cue has no identifier."},
        {65000, 85000, "Would you like to get a coffee?"},
        {67500, 87500, "Sure! I\x92ve only had one today."}, // UTF-8 read into code page 1252
        {120100, 127342,
         "{ \"type\": \"WikipediaPage\", \"url\": "
         "\"https://en.wikipedia.org/wiki/Samurai_Pizza_Cats\" }"},
    };
    EXPECT_EQ(Cues(items), expected);
}

TEST(WebVtt, TheGridKeepsTheTextAsReadWithItsLinesJoinedLikeSubRip) {
    const TslItems items = Vtt("pysubs2_vtt_example.vtt");
    ASSERT_GE(items.size(), 5u);
    EXPECT_EQ(items[1].DisplayText, "<lang en-GB>Cyan!</lang>");
    EXPECT_EQ(items[4].DisplayText, "This is the first subtitle. <u.myclass>Yellow!</u> "
                                    "<ruby.myclass>Yellow! <rt.myclass>Yellow!</rt></ruby>");
    // The start's components as the other readers fill them.
    EXPECT_EQ(items[4].Hours, 0);
    EXPECT_EQ(items[4].Minutes, 0);
    EXPECT_EQ(items[4].Seconds, 22);
    EXPECT_EQ(items[4].Milliseconds, 230);
    EXPECT_FALSE(items[4].Spoken);
}

TEST(WebVtt, IdentifiersAndCueSettingsOfTheWebPlatformTests) {
    EXPECT_EQ(Cues(Vtt("wpt_settings_multiple.vtt")),
              (std::vector<TCue>{{0, 1000, "text1"}, {0, 1000, "text2"}}));
    // Identifiers with blanks, arrows of other lengths and a blank alone.
    EXPECT_EQ(Speech(Vtt("wpt_ids.vtt")),
              (std::vector<std::string>{"text1", "text2", "text3", "text4", "text5"}));
}

TEST(WebVtt, TimestampsWithoutHoursAndTheOnesThatDoNotRead) {
    EXPECT_EQ(Cues(Vtt("wpt_timings_omitted_hours.vtt")),
              (std::vector<TCue>{{0, 1000, "text1"}, {0, 1000, "text2"}, {0, 1000, "text3"}}));
    // One digit of hours is fine; other short pieces are not, and their cues go.
    EXPECT_EQ(Cues(Vtt("wpt_timings_too_short.vtt")),
              (std::vector<TCue>{{0, 1000, "text1"}, {0, 1000, "text2"}}));
}

TEST(WebVtt, ALineWithAnArrowBeginsACueOnlyAsTheFirstOrSecondLineOfABlock) {
    EXPECT_EQ(Speech(Vtt("wpt_arrows.vtt")),
              (std::vector<std::string>{"text1", "text2", "text3", "text4", "text5", "text6"}));
    // vtt.js: cues without blank lines between them; the empty cue goes.
    EXPECT_EQ(
        Cues(Vtt("vttjs_cue_spacing.vtt")),
        (std::vector<TCue>{
            {0, 2000, "Text"}, {2000, 4000, "Text"}, {4000, 6000, "Text"}, {6000, 8000, "Text"}}));
}

TEST(WebVtt, AByteOrderMarkAndNotes) {
    EXPECT_EQ(Cues(Vtt("vttjs_webvtt_with_bom.vtt")), (std::vector<TCue>{{0, 2000, "text"}}));
    EXPECT_EQ(
        Cues(Vtt("vttjs_many_comments.vtt")),
        (std::vector<TCue>{{1000, 4000, "Never drink liquid nitrogen."},
                           {5000, 9000, "- It will perforate your stomach. - You could die."}}));
}

// One stray byte after the mark used to empty the whole file, which was
// then called no WebVTT file.
TEST(WebVtt, AStrayByteInAUtf8FileIsOneReplacementCharacter) {
    std::string reason = "untouched";
    EXPECT_EQ(Cues(Vtt("own_utf8_bom_stray_byte.vtt", &reason)),
              (std::vector<TCue>{{1000, 2000, "Caf? au lait"}, {3000, 4000, "na\xEFve"}}));
    EXPECT_EQ(reason, "untouched");
}

TEST(WebVtt, TagsAndEntitiesLeaveTheSpokenTextAndStayInTheGrid) {
    const TslItems items = Vtt("own_tags_and_entities.vtt"); // CR LF line ends
    const std::vector<TCue> expected = {
        {1000, 3500, "Class italic bold underlined Voice bonjour karaoke time"},
        {4000, 5000, "Fish & chips <3 >> a b left &quot;kept&quot; & alone"},
        {6000, 7000, "Tokyo station"},
        {12000, 13000, "before"}, // an unclosed tag runs to the end
    };
    EXPECT_EQ(Cues(items), expected);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[2].DisplayText,
              "Fish &amp; chips &lt;3 &gt;&gt; a&nbsp;b &lrm;left&rlm; &quot;kept&quot; & alone");
}

TEST(WebVtt, SpeechTextPieceByPiece) {
    EXPECT_EQ(VttSpeechText("<i>a</i> <c.x.y>b</c>"), "a b");
    EXPECT_EQ(VttSpeechText("<v Fred Smith>Hi"), "Hi");
    EXPECT_EQ(VttSpeechText("x&amp;y&lt;z&gt;&nbsp;&lrm;&rlm;!"), "x&y<z> !");
    EXPECT_EQ(VttSpeechText("&AMP; &amp &unknown;"), "&AMP; &amp &unknown;");
    EXPECT_EQ(VttSpeechText("&lt;i&gt;not a tag"), "<i>not a tag"); // decoded text is no tag
    EXPECT_EQ(VttSpeechText("a<00:00:01.000>b <00:02.000>c"), "ab c");
    EXPECT_EQ(VttSpeechText("<ruby>A<rt>a</rt>B<rt>b</ruby> C"), "AB C");
    EXPECT_EQ(VttSpeechText("  spaced \t out  "), "spaced out");
    EXPECT_EQ(VttSpeechText("<b>"), "");
}

TEST(WebVtt, MalformedCuesAreLeftOut) {
    // A cue without text, seconds of 60, SubRip's commas and a short arrow.
    EXPECT_EQ(Cues(Vtt("own_malformed.vtt")),
              (std::vector<TCue>{{3000, 4000, "kept"}, {9000, 10000, "kept too"}}));
}

TEST(WebVtt, WithoutTheSignatureOrWithoutCuesTheTrackIsEmptyAndSaysWhy) {
    for (const char* name : {"own_not_webvtt.vtt", "own_binary.vtt"}) {
        std::string reason;
        EXPECT_TRUE(Vtt(name, &reason).empty()) << name;
        EXPECT_EQ(reason,
                  "It does not begin with the line \"WEBVTT\", so it is not a WebVTT file.");
    }
    for (const char* name : {"own_header_only.vtt", "own_binary_after_signature.vtt"}) {
        std::string reason;
        EXPECT_TRUE(Vtt(name, &reason).empty()) << name;
        EXPECT_EQ(reason, "It holds no cue with text to speak.");
    }
    TslItems items(2);
    ReadVttLines(TStringList{}, items);
    EXPECT_TRUE(items.empty());
}

TEST(WebVtt, TheSignatureLine) {
    TslItems items;
    const TStringList cue = {"", "00:01.000 --> 00:02.000", "a"};
    for (const char* signature : {"WEBVTT", "WEBVTT text", "WEBVTT\ttext"}) {
        TStringList lines = cue;
        lines.insert(lines.begin(), signature);
        ReadVttLines(lines, items);
        EXPECT_EQ(items.size(), 2u) << signature;
    }
    for (const char* signature : {"WEBVTTX", "webvtt", " WEBVTT", ""}) {
        TStringList lines = cue;
        lines.insert(lines.begin(), signature);
        ReadVttLines(lines, items);
        EXPECT_TRUE(items.empty()) << signature;
    }
    // A timing line right after the signature ends the header.
    ReadVttLines(TStringList{"WEBVTT", "00:01.000 --> 00:02.000", "a"}, items);
    EXPECT_EQ(items.size(), 2u);
}

TEST(WebVtt, TimesBeyondThirtyTwoBitMillisecondsDoNotRead) {
    TslItems items;
    ReadVttLines(TStringList{"WEBVTT", "", "596:31:23.647 --> 596:31:23.647", "last", "",
                             "596:31:23.648 --> 596:31:23.648", "beyond", "",
                             "99999999999999999999:00:00.000 --> 00:01.000", "huge"},
                 items);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].StartMs, INT32_MAX);
    EXPECT_EQ(items[1].Hours, 596);
}
