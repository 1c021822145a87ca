// The ASS/SSA reader on scripts from open-source subtitle projects (pysubs2,
// PyonFX, JavascriptSubtitlesOctopus, FFmpeg's test references) and on files
// of our own for the malformed cases; tests/data/ass/SOURCE.md names where
// each comes from.

#include "subtitles/AssReader.h"
#include "platform/TSystemServices.h"
#include "subtitles/SubtitleReaders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <thread>

using namespace parlino;

namespace {

const TSystemCodec codec(1252);
const TLeadBytes noLeadBytes{};

std::string Data(const std::string& name) {
    return std::string(PARLINO_TEST_DATA) + "/ass/" + name;
}

TslItems Ass(const std::string& name, std::string* emptyReason = nullptr) {
    TslItems items(3); // a previous track that must be replaced
    ReadAssFile(Data(name), items, codec, emptyReason);
    return items;
}

struct TEvent {
    int32_t StartMs, EndMs;
    std::string Speech;
    bool operator==(const TEvent&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TEvent& event) {
    return out << "{" << event.StartMs << ", " << event.EndMs << ", \"" << event.Speech << "\"}";
}

// The entries after the leading one, which must be there and empty.
std::vector<TEvent> Events(const TslItems& items) {
    std::vector<TEvent> events;
    EXPECT_FALSE(items.empty());
    if (items.empty())
        return events;
    EXPECT_EQ(items[0].StartMs, 0);
    EXPECT_EQ(items[0].DisplayText, "");
    for (size_t i = 1; i < items.size(); ++i)
        events.push_back({items[i].StartMs, items[i].EndMs, items[i].SpeechText});
    return events;
}

bool OrderedByStart(const TslItems& items) {
    return std::is_sorted(items.begin(), items.end(),
                          [](const TslItem& a, const TslItem& b) { return a.StartMs < b.StartMs; });
}

} // namespace

TEST(Ass, LineBreaksBecomeSpacesAndEventsStartingTogetherKeepTheirOrder) {
    const TslItems items = Ass("pysubs2_ttml_example.ass");
    const std::vector<TEvent> expected = {
        {760, 3450, "It seems a paradox, does it not,"},
        {5000, 10000, "that the image formed on the Retina should be inverted?"},
        {10000, 16000, "It is puzzling, why is it we do not see things upside-down?"},
        {17200, 23000, "You have never heard the Theory, then, that the Brain also is inverted?"},
        {23000, 27000, "No indeed! What a beautiful fact!"},
        {28000, 34600, "But how is it proved?"},
        {28000, 34600, "Thus: what we call"},
        {34600, 45000, "the vertex of the Brain is really its base"},
        {45000, 52000, "and what we call its base is really its vertex,"},
        {53500, 58700, "it is simply a question of nomenclature."},
        {53500, 58700, "How truly delightful!"},
    };
    EXPECT_EQ(Events(items), expected);
    // The grid shows the Text field as read.
    EXPECT_EQ(items[2].DisplayText, "that the image formed on\\Nthe Retina should be inverted?");
    EXPECT_EQ(items[2].Seconds, 5);
    EXPECT_EQ(items[1].Milliseconds, 760);
}

TEST(Ass, EventsAreOrderedByStartTime) {
    // PyonFX's example lists the romaji, then the kanji, then the translation.
    const TslItems items = Ass("pyonfx_romaji_kanji_translation.ass");
    const std::vector<TEvent> expected = {
        {1000, 10990, "surechigau kotoba no ura ni tozasareta kokoro no kagi"},
        {1000, 5320, "?????????"}, // Japanese has no place in code page 1252
        {1000, 10990, "Guarda oltre le parole e cerca la chiave per il mio cuore,"},
        {5620, 10990, "?????????"},
        {11440, 21260, "kimi to iu furagu kaijo ga egao sukueru no nara"},
        {11440, 15670, "???????????"},
        {11440, 21260, "se credi che il mio affetto possa renderti felice."},
        {15980, 21260, "????????"},
    };
    EXPECT_EQ(Events(items), expected);
    EXPECT_EQ(items[1].DisplayText.substr(0, 18), "{\\k56}su{\\k13}re{\\");
}

TEST(Ass, CommentsAreSkippedAndOneTextOnSeveralLinesAtOnceIsSpokenOnce) {
    // Nine styles show "Hello world!" at the same time; a Comment carries a note.
    const TslItems items = Ass("pyonfx_ass_core.ass");
    const std::vector<TEvent> expected = {
        {0, 9990, "Hello world! This is a test."},
        {0, 9990, "?????????"}, // the plain and the karaoke kanji read the same
        {0, 9990, "surechigau kotoba no ura ni tozasareta kokoro no kagi"},
    };
    EXPECT_EQ(Events(items), expected);
}

TEST(Ass, OverridesDrawingsAndLayersOfAKaraokeScript) {
    // The first lines of a fansub karaoke: one syllable per event, drawings
    // (\p1) that are never spoken, one syllable drawn on many layers at once.
    const TslItems items = Ass("jso_railgun_op_first_lines.ass");
    const std::vector<TEvent> events = Events(items);
    std::vector<std::string> speech;
    for (const TEvent& event : events)
        speech.push_back(event.Speech);
    const std::vector<std::string> expected = {
        "s", "i",    "s",   "t", "e",
        "r", "'",    "s",   "n", "o",
        "i", "s",    "e",   "s", "a",
        "g", "a",    "s",   "h", "Sister's noise, I will continue to search",
        "i", "t",    "s",   "u", "z",
        "u", "k",    "sis", "e", "r",
        "u", "noise"};
    EXPECT_EQ(speech, expected);
    EXPECT_TRUE(OrderedByStart(items));
    // Of the eighteen "sis" events at 0:00:13.16 the first in the file stays.
    const auto sis = std::find_if(items.begin(), items.end(),
                                  [](const TslItem& item) { return item.SpeechText == "sis"; });
    ASSERT_NE(sis, items.end());
    EXPECT_EQ(sis->StartMs, 13160);
    EXPECT_EQ(sis->EndMs, 13670);
    EXPECT_EQ(sis->DisplayText.substr(0, 18), "{\\an5\\pos(431,46)\\");
    // The "{ED}" block alone and the drawings leave nothing to speak.
    for (const TslItem& item : items)
        EXPECT_EQ(item.DisplayText.find("\\p1}"), std::string::npos) << item.DisplayText;
}

TEST(Ass, AnSsaScriptWithMarkedFieldsSoftBreaksAndBracedNotes) {
    // FFmpeg's reference of a remuxed SSA script: "Marked=0" first, CR LF line
    // ends, \n soft breaks, {notes} in braces, events out of order.
    TslItems items;
    ReadSubtitleFile(Data("ffmpeg_sub_ssa_to_ass_remux.ssa"), items, codec);
    ASSERT_EQ(items.size(), 36u);
    EXPECT_TRUE(OrderedByStart(items));
    const std::vector<TEvent> events = Events(items);
    EXPECT_EQ(events[0], (TEvent{2420, 3000, "All Japan Boys Soccer Tournament Opens!"}));
    EXPECT_EQ(events[1], (TEvent{15150, 16300, "Otani-san..."}));
    EXPECT_EQ(events[9], (TEvent{26050, 27230, "Otani Furukawa Tatsuta"}));
    EXPECT_EQ(events[12], (TEvent{61520, 63980, "Poj? se mnou."})); // no d-caron in 1252
    EXPECT_EQ(events[20], (TEvent{100460, 110720, "CHIRIN NO SUZU DE OMOIDASU"}));
    EXPECT_EQ(events[21],
              (TEvent{285670, 288370, "\xA1\xBFMi Hachi-Roku se ha convertido en un Hachi-Go?!"}));
    EXPECT_EQ(events[23], (TEvent{301520, 304120, "Ahora mismo tu padre debe estar en shock."}));
    EXPECT_EQ(events[27], (TEvent{1535060, 1536670, "Toki-doki"}));
    EXPECT_EQ(events[34], (TEvent{1547980, 1550220, "Or sadness"}));
}

TEST(Ass, CommentsEmptyTextAndABracedBlockOfJsonLeaveNothingToSpeak) {
    // pysubs2's conversion of its WebVTT example: the WebVTT blocks became
    // Comment lines, the empty cue an empty Dialogue, the JSON a {...} block.
    const TslItems items = Ass("pysubs2_vtt_example_to_this.ass");
    ASSERT_EQ(items.size(), 10u);
    EXPECT_EQ(items[1].SpeechText, "<lang en-GB>Cyan!</lang>"); // WebVTT tags mean nothing in ASS
    EXPECT_EQ(items[9].SpeechText, "<v Bill>Sure! I\x92ve only had one today.");
    EXPECT_EQ(items[9].StartMs, 67500);
}

TEST(Ass, MalformedLines) {
    const TslItems items = Ass("own_malformed_lines.ass");
    const std::vector<TEvent> expected = {
        {10000, 11000, "kept, pos and pbo are no drawing"},
        {12000, 13000, "after the drawing hard break soft"},
        {16000, 17000, "unclosed {brace stays"},
        {20000, 21000, "lower-case key"},
        {22000, 23000, "negative is no drawing"},
        {24500, 25000, "A new Format line: three fields, commas kept"},
        {26000, 27000, "A Format without Start is ignored: the last good one stays"},
        {28000, 29000, "no blank after the colon"},
        {3600500, 3601000, "one digit of fraction, none at all"},
    };
    EXPECT_EQ(Events(items), expected);
}

TEST(Ass, WithoutAFormatLineTheStandardFieldsApply) {
    const TslItems items = Ass("own_no_format.ass"); // "[EVENTS]" in capitals, out of order
    EXPECT_EQ(Events(items),
              (std::vector<TEvent>{{1000, 2000, "No Format line: the standard fields apply"},
                                   {3000, 4000, "Text, with commas, whole"}}));
}

TEST(Ass, WithoutEventsOrWithoutDialogueTheTrackIsEmptyAndSaysWhy) {
    for (const char* name : {"own_no_events.ass", "own_binary.ass"}) {
        std::string reason;
        EXPECT_TRUE(Ass(name, &reason).empty()) << name;
        EXPECT_EQ(reason, "It has no [Events] section, so it is not an ASS/SSA file.");
    }
    std::string reason;
    EXPECT_TRUE(Ass("own_binary_after_events.ass", &reason).empty());
    EXPECT_EQ(reason, "Its [Events] section holds no Dialogue line with text to speak.");
    TslItems items(2);
    ReadAssLines(TStringList{}, items, noLeadBytes, &reason);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(reason, "It has no [Events] section, so it is not an ASS/SSA file.");
}

TEST(Ass, SpeechTextPieceByPiece) {
    EXPECT_EQ(AssSpeechText("{\\an8\\i1}Top{\\i0} line", noLeadBytes), "Top line");
    EXPECT_EQ(AssSpeechText("a\\Nb\\nc\\hd", noLeadBytes), "a b c d");
    EXPECT_EQ(AssSpeechText("a\\\\Nb \\x", noLeadBytes),
              "a\\ b \\x"); // only \N, \n and \h are breaks
    EXPECT_EQ(AssSpeechText("{\\p1}m 0 0 l 1 1{\\p0}text{\\p2}m 1 1{\\p0}", noLeadBytes), "text");
    EXPECT_EQ(AssSpeechText("{\\p 1}m 0 0{\\p}after", noLeadBytes),
              "after"); // "\p" alone ends drawing
    EXPECT_EQ(AssSpeechText("{\\pos(1,2)\\pbo3}shown", noLeadBytes), "shown");
    EXPECT_EQ(AssSpeechText("{\\p1}m 0 0 \\N l 1 1", noLeadBytes), "");
    EXPECT_EQ(AssSpeechText("{unclosed", noLeadBytes), "{unclosed");
    EXPECT_EQ(AssSpeechText("{}{note}", noLeadBytes), "");
    EXPECT_EQ(AssSpeechText("  a  \t b  ", noLeadBytes), "a b");
}

TEST(Ass, TheSecondByteOfADoubleByteCharacterIsNeverAMarkUpCharacter) {
    // In Shift-JIS the second byte of "hyou" (0x95 0x5C) is a backslash and
    // that of "ma" (0x83 0x7D) a '}'.
    const TSystemCodec japanese(932);
    const TLeadBytes lead = japanese.LeadBytes();
    const std::string hyouN = "\x95\x5CN";
    EXPECT_EQ(AssSpeechText(hyouN, lead), hyouN);
    EXPECT_EQ(AssSpeechText(hyouN, noLeadBytes), "\x95"); // read byte by byte it would break
    EXPECT_EQ(AssSpeechText("{\\fn\x83\x7D}x", lead), "x");
    EXPECT_EQ(AssSpeechText("{\\fn\x83\x7D}x", noLeadBytes), "}x");
    TslItems items;
    ReadAssLines(TStringList{"[Events]", "Dialogue: 0,0:00:01.00,0:00:02.00,D,,0,0,0,,\x95\x5CN"},
                 items, lead);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].SpeechText, hyouN);
}

TEST(Ass, Times) {
    EXPECT_EQ(AssTimeMs("0:00:01.50"), 1500);
    EXPECT_EQ(AssTimeMs(" 1:02:03.04 "), 3723040);
    EXPECT_EQ(AssTimeMs("0:00:01.5"), 1500);
    EXPECT_EQ(AssTimeMs("0:00:01.567"), 1567);
    EXPECT_EQ(AssTimeMs("0:00:01.56789"), 1567);
    EXPECT_EQ(AssTimeMs("0:00:01"), 1000);
    EXPECT_EQ(AssTimeMs("00:00:01.00"), 1000);
    EXPECT_EQ(AssTimeMs("596:31:23.647"), INT32_MAX);
    EXPECT_EQ(AssTimeMs("596:31:23.648"), -1);
    EXPECT_EQ(AssTimeMs("99999999999999999999:00:00.00"), -1);
    for (const char* bad :
         {"", "0:00", "0:00:0x.00", "a:00:00.00", "0:00:01,00", "-0:00:01.00", "0:00:01.00x"})
        EXPECT_EQ(AssTimeMs(bad), -1) << bad;
}

TEST(Ass, AThousandEventsAtOneMomentStayOneAndAllDifferentTextsStay) {
    TStringList lines = {
        "[Events]",
        "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text"};
    for (int i = 0; i < 1000; ++i)
        lines.push_back("Dialogue: " + std::to_string(i) +
                        ",0:00:05.00,0:00:06.00,Sign,,0,0,0,,{\\blur" + std::to_string(i) +
                        "}Same sign");
    for (int i = 0; i < 1000; ++i)
        lines.push_back("Dialogue: 0,0:00:07.00,0:00:08.00,Sign,,0,0,0,,Text " + std::to_string(i));
    TslItems items;
    ReadAssLines(lines, items, noLeadBytes);
    ASSERT_EQ(items.size(), 1002u);
    EXPECT_EQ(items[1].SpeechText, "Same sign");
    EXPECT_EQ(items[1].DisplayText, "{\\blur0}Same sign");
    EXPECT_EQ(items[2].SpeechText, "Text 0");
    EXPECT_EQ(items[1001].SpeechText, "Text 999");
}

namespace {

// AssSpeechText of `text` on a thread of its own, or nothing when it has not
// answered within `limit`: a scan that went quadratic would run for minutes,
// and the test fails at the limit instead (the thread is left to run out).
std::optional<std::string> SpeechWithin(std::string text, const TLeadBytes& leadBytes,
                                        std::chrono::seconds limit) {
    auto result = std::make_shared<std::promise<std::string>>();
    std::future<std::string> answer = result->get_future();
    std::thread([text = std::move(text), leadBytes, result] {
        result->set_value(AssSpeechText(text, leadBytes));
    }).detach();
    if (answer.wait_for(limit) != std::future_status::ready)
        return std::nullopt;
    return answer.get();
}

} // namespace

// Every '{' that no '}' closes used to search the rest of the line for one:
// 80,000 of them took seconds, a few megabytes hours, on the window's thread.
TEST(Ass, UnclosedBracesAreReadInLinearTime) {
    const std::string braces(1 << 20, '{');
    const std::optional<std::string> plain = SpeechWithin(braces, noLeadBytes, std::chrono::seconds(20));
    ASSERT_TRUE(plain) << "a megabyte of unclosed '{' took more than 20 s";
    EXPECT_EQ(*plain, braces);
    // The same with a block that closes after them, between text, and with
    // the characters of a double-byte code page in between.
    std::string mixed;
    for (int k = 0; k < 100000; ++k)
        mixed += "{\x82\xA0{\\p";
    const std::optional<std::string> japanese =
        SpeechWithin(mixed + "}x{" + mixed, TSystemCodec(932).LeadBytes(), std::chrono::seconds(20));
    ASSERT_TRUE(japanese) << "unclosed '{' among double-byte characters took more than 20 s";
    EXPECT_EQ(*japanese, "x{" + mixed);
    // What the one search finds is what each '{' would have found.
    EXPECT_EQ(AssSpeechText("{a{b}c{d}e{", noLeadBytes), "ce{");
    EXPECT_EQ(AssSpeechText("{{{x}y{{", noLeadBytes), "y{{");
    EXPECT_EQ(AssSpeechText("a{\\p1}{b{\\p0}c", noLeadBytes), "ac");
    EXPECT_EQ(AssSpeechText("{\\fn\x83\x7D{x}y{", TSystemCodec(932).LeadBytes()), "y{");
}
