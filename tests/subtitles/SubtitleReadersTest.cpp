#include "platform/Exceptions.h"
#include "platform/TSystemServices.h"
#include "subtitles/FormatTime.h"
#include "subtitles/SubtitleReaders.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace parlino;

namespace {

const TSystemCodec codec(1251);

std::string Data(const std::string& name) { return std::string(PARLINO_TEST_DATA) + "/subtitles/" + name; }

TslItems Srt(const std::string& name) {
    TslItems items(3); // a previous track that must be replaced
    ReadSrtFile(Data(name), items, codec);
    return items;
}

TslItems Timecode(const std::string& name) {
    TslItems items(3);
    ReadTimecodeFile(Data(name), items, codec);
    return items;
}

std::vector<std::string> Texts(const TslItems& items) {
    std::vector<std::string> texts;
    for (const TslItem& i : items) texts.push_back(i.DisplayText);
    return texts;
}

} // namespace

TEST(ReadSrt, ReadsTimesAndTextsAfterTheLeadingEntry) {
    TslItems items = Srt("basic_crlf.srt");
    ASSERT_EQ(items.size(), 3u);
    const TslItem& lead = items[0];
    EXPECT_EQ(lead.StartMs, 0);
    EXPECT_EQ(lead.EndMs, 0);
    EXPECT_EQ(lead.DisplayText, "");
    EXPECT_EQ(items[1].StartMs, 62500);
    EXPECT_EQ(items[1].EndMs, 65250);
    EXPECT_EQ(items[1].Hours, 0);
    EXPECT_EQ(items[1].Minutes, 1);
    EXPECT_EQ(items[1].Seconds, 2);
    EXPECT_EQ(items[1].Milliseconds, 500);
    EXPECT_EQ(items[1].DisplayText, "Hello there.");
    EXPECT_EQ(items[2].DisplayText, "<i>General Kenobi.</i>");
    EXPECT_EQ(items[2].SpeechText, items[2].DisplayText);
    EXPECT_FALSE(items[2].Spoken);
}

TEST(ReadSrt, LayoutVariationsReadTheSame) {
    const std::vector<std::string> expected = Texts(Srt("basic_crlf.srt"));
    for (const char* name : {"basic_lf.srt", "basic_cr.srt", "several_blank_lines.srt", "no_final_blank.srt"}) {
        TslItems items = Srt(name);
        EXPECT_EQ(Texts(items), expected) << name;
        ASSERT_EQ(items.size(), 3u) << name;
        EXPECT_EQ(items[2].StartMs, 66000) << name;
    }
}

TEST(ReadSrt, TextLinesJoinWithSingleSpaces) {
    EXPECT_EQ(Texts(Srt("three_text_lines.srt")), (std::vector<std::string>{"", "line one line two line three"}));
}

// Separator lines of spaces and tabs used to be taken as text, so the next
// block's number and time line were read out as text of the one before.
TEST(ReadSrt, ALineOfNothingButBlanksEndsABlock) {
    TslItems items = Srt("blank_separator_lines.srt");
    EXPECT_EQ(Texts(items),
              (std::vector<std::string>{"", "Hello there.", "<i>General Kenobi.</i>", "Third."}));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[1].EndMs, 65250);
    EXPECT_EQ(items[2].StartMs, 66000);
    EXPECT_EQ(items[3].StartMs, 69000);
}

TEST(ReadSrt, ShortAndMalformedTimeLinesGiveZeroPiecesButKeepTheEntry) {
    TslItems items = Srt("short_time_line.srt");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].StartMs, 0 * 3600000 + 1 * 60000); // "00:01": hours 0, minutes 1
    EXPECT_EQ(items[1].EndMs, 0);
    EXPECT_EQ(items[2].StartMs, 3000); // "0" of "00:00:03,0" is not three digits but still a number
    EXPECT_EQ(items[2].Milliseconds, 0);

    items = Srt("malformed_time.srt");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].StartMs, 60000); // only the minutes are a number
    EXPECT_EQ(items[1].EndMs, 9999);
    EXPECT_EQ(items[2].StartMs, 0); // no ':' at all
    EXPECT_EQ(items[2].DisplayText, "no times");
}

TEST(ReadSrt, EmptyFileGivesAnEmptyTrack) {
    EXPECT_TRUE(Srt("empty.srt").empty());
    EXPECT_TRUE(Srt("blank_lines.srt").empty()); // nothing but blanks is empty too
}

// A file with text but no block used to load as the leading entry alone,
// with no word said.
TEST(ReadSrt, ANonEmptyFileWithoutABlockGivesAnEmptyTrackAndSaysWhy) {
    TslItems items(3);
    std::string reason;
    ReadSrtFile(Data("no_block.srt"), items, codec, &reason);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(reason, NoSrtBlockReason);
    reason = "untouched";
    ReadSrtFile(Data("blank_lines.srt"), items, codec, &reason);
    EXPECT_EQ(reason, "untouched"); // an empty file fails as it always did
}

TEST(ReadSrt, EncodingsOfTheSameFileAgree) {
    const std::string russian = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0!";
    for (const char* name : {"utf8_bom.srt", "utf16le_bom.srt", "utf16be_bom.srt", "cp1251.srt"}) {
        TslItems items = Srt(name);
        ASSERT_EQ(items.size(), 2u) << name;
        EXPECT_EQ(items[1].DisplayText, russian) << name;
    }
}

// One stray byte after a UTF-8 mark used to make the whole file empty.
TEST(ReadSrt, AStrayByteInAUtf8FileIsOneQuestionMark) {
    EXPECT_EQ(Texts(Srt("utf8_bom_stray_byte.srt")), (std::vector<std::string>{"", "Caf? au lait", "na?ve"}));
    const TSystemCodec cp1252(1252);
    TslItems items;
    ReadSrtFile(Data("utf8_bom_stray_byte.srt"), items, cp1252);
    EXPECT_EQ(Texts(items), (std::vector<std::string>{"", "Caf? au lait", "na\xEFve"}));
}

TEST(ReadSrt, BinaryFileDoesNotCrash) {
    TslItems items = Srt("binary.srt");
    EXPECT_LE(items.size(), 2u); // the text ends at the first zero byte
}

TEST(ReadTimecode, HundredthsBarsAndSkippedLines) {
    TslItems items = Timecode("timecode.txt");
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[1].StartMs, 1500);
    EXPECT_EQ(items[1].Milliseconds, 500);
    EXPECT_EQ(items[1].EndMs, 3000);
    EXPECT_EQ(items[1].DisplayText, "a b");
    EXPECT_EQ(items[2].StartMs, 60050);
    EXPECT_EQ(items[2].EndMs, 62990);
    EXPECT_EQ(items[2].DisplayText, " second ");
    EXPECT_EQ(items[3].StartMs, 120000);
    EXPECT_EQ(items[3].DisplayText, ""); // the line ends at the times
}

TEST(ReadTimecode, EmptyFileGivesTwoEntriesAtZero) {
    for (const char* name : {"empty.txt", "blank_lines.txt"}) {
        std::string reason = "untouched";
        TslItems items(3);
        ReadTimecodeFile(Data(name), items, codec, &reason);
        ASSERT_EQ(items.size(), 2u) << name;
        EXPECT_EQ(items[1].StartMs, 0);
        EXPECT_EQ(items[1].DisplayText, "");
        EXPECT_EQ(reason, "untouched");
    }
}

// Text without a single time used to load as the leading entry alone.
TEST(ReadTimecode, ANonEmptyFileWithoutATimeGivesAnEmptyTrackAndSaysWhy) {
    TslItems items(3);
    std::string reason;
    ReadTimecodeFile(Data("prose.txt"), items, codec, &reason);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(reason, NoTimecodeLineReason);
}

TEST(ReaderChoice, OnlyTheSrtExtensionInAnyCaseIsSubRip) {
    EXPECT_TRUE(IsSrtFileName("film.srt"));
    EXPECT_TRUE(IsSrtFileName("/a/b/x.Srt"));
    EXPECT_TRUE(IsSrtFileName("X.SRT"));
    EXPECT_FALSE(IsSrtFileName("film.txt"));
    EXPECT_FALSE(IsSrtFileName("film"));
    EXPECT_FALSE(IsSrtFileName("film.srt.txt"));
    EXPECT_FALSE(IsSrtFileName("/dir.srt/film"));
}

TEST(NumberPieces, ReadLikeStrToIntDef) {
    EXPECT_EQ(StrToIntDef0("12"), 12);
    EXPECT_EQ(StrToIntDef0(" 7"), 7);
    EXPECT_EQ(StrToIntDef0("7 "), 0);
    EXPECT_EQ(StrToIntDef0("-3"), -3);
    EXPECT_EQ(StrToIntDef0("$1F"), 31);
    EXPECT_EQ(StrToIntDef0(""), 0);
    EXPECT_EQ(StrToIntDef0("1a"), 0);
    EXPECT_EQ(StrToIntDef0("99999999999"), 0);
}

TEST(NumberPieces, OutOfRangeComponentsWrapLikeSixteenAndThirtyTwoBitValues) {
    TslItems items;
    ReadSrtLines(TStringList{"1", "-1:00:00,000 --> 00:00:00,000", "x"}, items);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].Hours, 65535);
    EXPECT_EQ(items[1].StartMs, static_cast<int32_t>(static_cast<uint32_t>(65535ull * 3600000ull)));
}

TEST(FormatTime, TwoDigitPiecesJoinedByTheSeparator) {
    EXPECT_EQ(FormatTime(3723000), "01:02:03");
    EXPECT_EQ(FormatTime(3723999), "01:02:03");
    EXPECT_EQ(FormatTime(-200), "00:00:00");
    EXPECT_EQ(FormatTime(0), "00:00:00");
    EXPECT_EQ(FormatTime(123 * 3600000 + 5000), "123:00:05");
    EXPECT_EQ(FormatTime(-3600000), "-01:00:00");
    EXPECT_EQ(FormatTime(62500, '.'), "00.01.02");
}

TEST(ReaderChoice, TheExtensionChoosesTheLayoutInAnyLetterCase) {
    EXPECT_EQ(SubtitleFormatOf("film.srt"), TSubtitleFormat::SubRip);
    EXPECT_EQ(SubtitleFormatOf("film.vtt"), TSubtitleFormat::WebVtt);
    EXPECT_EQ(SubtitleFormatOf("/a/FILM.VTT"), TSubtitleFormat::WebVtt);
    EXPECT_EQ(SubtitleFormatOf("film.Vtt"), TSubtitleFormat::WebVtt);
    EXPECT_EQ(SubtitleFormatOf("film.ass"), TSubtitleFormat::Ass);
    EXPECT_EQ(SubtitleFormatOf("film.aSs"), TSubtitleFormat::Ass);
    EXPECT_EQ(SubtitleFormatOf("film.ssa"), TSubtitleFormat::Ass);
    EXPECT_EQ(SubtitleFormatOf("film.SSA"), TSubtitleFormat::Ass);
    for (const char* other : {"film.txt", "film", "film.vtt.txt", "/dir.vtt/film", "/dir.ass/film", "film.vtt2",
                              "film.as", "film.webvtt", "film.sub", ".vttx"})
        EXPECT_EQ(SubtitleFormatOf(other), TSubtitleFormat::Timecode) << other;
    EXPECT_EQ(SubtitleFormatOf(".vtt"), TSubtitleFormat::WebVtt); // a hidden file's name is all extension
}

TEST(ReaderChoice, ReadSubtitleFileUsesTheChosenReader) {
    const std::string data = PARLINO_TEST_DATA;
    TslItems items;
    std::string reason = "untouched";
    ReadSubtitleFile(Data("upper_case_ext.Srt"), items, codec, &reason);
    EXPECT_EQ(Texts(items), Texts(Srt("upper_case_ext.Srt")));
    ReadSubtitleFile(Data("timecode_as.srt.txt"), items, codec, &reason);
    EXPECT_EQ(Texts(items), Texts(Timecode("timecode_as.srt.txt")));
    ReadSubtitleFile(Data("empty.srt"), items, codec, &reason);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(reason, "untouched"); // an empty SubRip file: no reason beyond that
    ReadSubtitleFile(Data("no_block.srt"), items, codec, &reason);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(reason, NoSrtBlockReason);
    ReadSubtitleFile(Data("prose.txt"), items, codec, &reason);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(reason, NoTimecodeLineReason);
    ReadSubtitleFile(data + "/webvtt/own_upper_case_ext.VTT", items, codec, &reason);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].SpeechText, "Upper-case extension");
    ReadSubtitleFile(data + "/ass/own_upper_case_ext.Ass", items, codec, &reason);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].SpeechText, "Mixed-case extension");
    ReadSubtitleFile(data + "/ass/own_no_events.ass", items, codec, &reason);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(reason, "It has no [Events] section, so it is not an ASS/SSA file.");
    // A WebVTT file under another name goes to the timecode reader, as before.
    const std::string renamed = ::testing::TempDir() + "/webvtt_named.txt";
    std::filesystem::copy_file(data + "/webvtt/wpt_settings_multiple.vtt", renamed,
                               std::filesystem::copy_options::overwrite_existing);
    ReadSubtitleFile(renamed, items, codec, &reason);
    TslItems timecode;
    ReadTimecodeFile(renamed, timecode, codec);
    EXPECT_EQ(Texts(items), Texts(timecode));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].DisplayText, "1.000 align:start line:1% vertical:lr size:50% position:25%");
}
