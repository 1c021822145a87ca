#include "platform/Exceptions.h"
#include "platform/TSystemServices.h"
#include "text/Charsets.h"
#include "text/LoadTextFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace parlino;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const TSystemCodec cp1252(1252);
const TSystemCodec cp1251(1251);

TStringList Load(const std::string& name, const ITextCodec& codec = cp1252) {
    TStringList lines{"stale line"};
    LoadTextFile(lines, std::string(PARLINO_TEST_DATA) + "/text/" + name, codec);
    return lines;
}

} // namespace

TEST(LoadTextFile, Utf8WithMarkIsDecodedAndSplit) {
    EXPECT_THAT(Load("utf8_bom_crlf.txt"), ElementsAre("Hello", "World"));
}

TEST(LoadTextFile, BareMarksGiveNoLines) {
    EXPECT_THAT(Load("utf8_bom_only.txt"), IsEmpty());
    EXPECT_THAT(Load("utf16le_bom_only.txt"), IsEmpty());
    EXPECT_THAT(Load("empty.txt"), IsEmpty());
}

// A stray byte after a UTF-8 mark used to lose the whole file.
TEST(LoadTextFile, AMalformedSequenceAfterAUtf8MarkIsOneReplacementCharacter) {
    // "abc", E9, " def", CR LF, "next": E9 begins a sequence that does not go on.
    EXPECT_THAT(Load("utf8_bom_stray_byte.txt"), ElementsAre("abc ? def", "next"));
    EXPECT_THAT(Load("utf8_bom_stray_byte.txt", cp1251), ElementsAre("abc ? def", "next"));
    // A lead byte at the very end.
    EXPECT_THAT(Load("utf8_bom_truncated_end.txt"), ElementsAre("abc?"));
}

TEST(DecodeUtf8Replacing, EachMaximalIllFormedSubpartIsOneReplacementCharacter) {
    EXPECT_EQ(DecodeUtf8Replacing("plain \xD0\x96"), u"plain \u0416");
    EXPECT_EQ(DecodeUtf8Replacing("a\xE9 b"), u"a\uFFFD b");
    EXPECT_EQ(DecodeUtf8Replacing("a\xE2\x82z"), u"a\uFFFDz");          // two bytes of three
    EXPECT_EQ(DecodeUtf8Replacing("\xF0\x9F\x98!"), u"\uFFFD!");         // three of four
    EXPECT_EQ(DecodeUtf8Replacing("\xC0\xAF"), u"\uFFFD\uFFFD");          // no lead byte: each alone
    EXPECT_EQ(DecodeUtf8Replacing("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // a surrogate's bytes
    EXPECT_EQ(DecodeUtf8Replacing("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD"); // beyond U+10FFFF
    EXPECT_EQ(DecodeUtf8Replacing("\x80\x80x\xFF"), u"\uFFFD\uFFFDx\uFFFD");
    EXPECT_EQ(DecodeUtf8Replacing("\xE2\x82\xAC\xE2"), u"\u20AC\uFFFD");
}

// Long runs of malformed bytes, across the pieces the text is decoded in,
// each still count once, and well-formed characters beside them stay whole.
TEST(LoadTextFile, LongMalformedTextsAfterAMarkDecodeByteForByte) {
    TStringList lines;
    DecodeTextBytes(lines, "\xEF\xBB\xBF" + std::string(200000, '\x80') + "end", cp1252);
    EXPECT_THAT(lines, ElementsAre(std::string(200000, '?') + "end"));
    std::string utf8 = "\xEF\xBB\xBF", expected;
    for (int k = 0; k < 40000; ++k) {
        utf8 += "\xE9\xC3\xA9\x80\xE2\x82\xAC\xF0\x9F"; // stray, é, stray, €, cut face
        expected += "?\xE9?\x80?";
    }
    DecodeTextBytes(lines, utf8, cp1252);
    EXPECT_THAT(lines, ElementsAre(expected));
}

TEST(LoadTextFile, Utf16LittleEndianReadsLikeTheSameAnsiText) {
    TStringList utf16 = Load("utf16le_bom_russian.txt", cp1251);
    EXPECT_EQ(utf16, Load("cp1251_russian.txt", cp1251));
    EXPECT_THAT(utf16, ElementsAre("\xCF\xF0\xE8\xE2\xE5\xF2", "\xEC\xE8\xF0"));
}

TEST(LoadTextFile, Utf16EndsAtZeroUnitAndDropsAnOddLastByte) {
    EXPECT_THAT(Load("utf16le_bom_zero_unit.txt"), ElementsAre("ab"));
    EXPECT_THAT(Load("utf16le_bom_odd_byte.txt"), ElementsAre("ab"));
}

// A big-endian file with its mark used to read as the two bytes of the mark.
TEST(LoadTextFile, Utf16BigEndianWithMarkReadsLikeLittleEndian) {
    EXPECT_THAT(Load("utf16be_bom.txt"), ElementsAre("Hi"));
    TStringList bigEndian = Load("utf16be_bom_russian.txt", cp1251);
    EXPECT_EQ(bigEndian, Load("utf16le_bom_russian.txt", cp1251));
    EXPECT_THAT(bigEndian, ElementsAre("\xCF\xF0\xE8\xE2\xE5\xF2", "\xEC\xE8\xF0"));
    EXPECT_THAT(Load("utf16be_bom_zero_unit.txt"), ElementsAre("ab"));
    EXPECT_THAT(Load("utf16be_bom_odd_byte.txt"), ElementsAre("ab"));
    // Beyond one piece of decoding, with a surrogate pair in every line.
    std::string bytes = "\xFE\xFF", expected;
    for (int k = 0; k < 30000; ++k) {
        for (char16_t unit : std::u16string(u"a\u00E9\U0001F600\r\n")) {
            bytes += static_cast<char>(unit >> 8);
            bytes += static_cast<char>(unit & 0xFF);
        }
        expected += "a\xE9?\r\n";
    }
    TStringList lines, expectedLines;
    DecodeTextBytes(lines, bytes, cp1252);
    SplitLines(expected, expectedLines);
    EXPECT_EQ(lines, expectedLines);
}

TEST(LoadTextFile, Utf16WithoutMarkIsAnsiUpToTheFirstZero) {
    EXPECT_THAT(Load("utf16le_no_bom.txt"), ElementsAre("H"));
}

TEST(LoadTextFile, AllLineEndsSplitAlike) {
    const TStringList expected{"one", "two", "", "four"};
    EXPECT_EQ(Load("crlf.txt"), expected);
    EXPECT_EQ(Load("lf.txt"), expected);
    EXPECT_EQ(Load("cr.txt"), expected);
    EXPECT_EQ(Load("mixed_no_final_eol.txt"), expected);
}

TEST(LoadTextFile, TextEndsAtTheFirstZeroByte) {
    EXPECT_THAT(Load("zero_byte.txt"), ElementsAre("ab", "cd"));
}

TEST(LoadTextFile, Utf8WithoutMarkIsRecognisedWhenItHasMultiByteCharacters) {
    EXPECT_THAT(Load("utf8_no_bom.txt"), ElementsAre("Caf\xE9", "na\xEFve"));
    // The same text saved as ANSI is not valid UTF-8 and reads byte for byte.
    EXPECT_THAT(Load("cp1252_no_bom.txt"), ElementsAre("Caf\xE9", "na\xEFve"));
    // A character no code page has still counts as UTF-8; it becomes '?'.
    EXPECT_THAT(Load("utf8_no_bom_four_byte.txt"), ElementsAre("a?b"));
    // Overlong forms are not UTF-8: the bytes stay as they are.
    EXPECT_THAT(Load("utf8_no_bom_overlong.txt"), ElementsAre("a\xC0\xAF" "b"));
}

TEST(LoadTextFile, Utf8WithoutMarkIsJudgedOnlyUpToTheFirstZeroByte) {
    // "Café", a zero byte, then a byte that is no UTF-8.
    EXPECT_THAT(Load("utf8_no_bom_zero_then_junk.txt"), ElementsAre("Caf\xE9"));
}

// Texts longer than the pieces they are decoded in: every character comes
// out once and whole, also where a piece ends inside a sequence or between
// the two halves of a surrogate pair.
TEST(LoadTextFile, LongTextsDecodeAlike) {
    std::string utf8, expected;
    std::u16string utf16;
    for (int k = 0; k < 30000; ++k) {
        utf8 += "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\r\n"; // "aé€" and a face
        utf16 += u"a\u00E9\u20AC\U0001F600\r\n";
        expected += "a\xE9\x80?\r\n";
    }
    TStringList lines;
    TStringList expectedLines;
    SplitLines(expected, expectedLines);
    DecodeTextBytes(lines, utf8, cp1252);
    EXPECT_EQ(lines, expectedLines);
    DecodeTextBytes(lines, "\xEF\xBB\xBF" + utf8, cp1252);
    EXPECT_EQ(lines, expectedLines);
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : utf16) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    DecodeTextBytes(lines, bytes, cp1252);
    EXPECT_EQ(lines, expectedLines);
    // Three bytes of UTF-8 become two in a double-byte code page.
    const TSystemCodec cp932(932);
    std::string japanese;
    for (int k = 0; k < 30000; ++k)
        japanese += "\xE6\x97\xA5\xE6\x9C\xAC "; // "日本"
    DecodeTextBytes(lines, japanese, cp932);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 5u * 30000);
    EXPECT_EQ(lines[0].substr(0, 10), "\x93\xFA\x96\x7B \x93\xFA\x96\x7B ");
}

TEST(LoadTextFile, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_THAT(Load("utf8_bom_crlf.txt", cp1251), ElementsAre("Hello", "World"));
    EXPECT_THAT(Load("utf8_no_bom.txt", cp1251), ElementsAre("Caf?", "na?ve"));
}

TEST(LoadTextFile, MissingFileOrFolderRaisesTheOpenErrorWithEmptyLines) {
    TStringList lines{"stale"};
    const std::string missing = std::string(PARLINO_TEST_DATA) + "/text/no_such_file.txt";
    try {
        LoadTextFile(lines, missing, cp1252);
        FAIL() << "no error raised";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + missing + "\". No such file or directory");
    }
    EXPECT_THAT(lines, IsEmpty());
    const std::string folder = std::string(PARLINO_TEST_DATA) + "/text";
    EXPECT_THROW(LoadTextFile(lines, folder, cp1252), EFOpenError);
}

// Files that are not regular files would block the window (a pipe) or eat
// all memory (a device); files over the size limit are refused before they
// are read.
class LoadTextFileKindsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = std::filesystem::temp_directory_path() / ("parlino-load-" + std::to_string(::getpid()));
        std::filesystem::remove_all(Folder);
        std::filesystem::create_directories(Folder);
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }
    // The message of the open error, or "" when the file was read.
    std::string OpenError(const std::string& path) {
        TStringList lines{"stale"};
        try {
            LoadTextFile(lines, path, cp1252);
        } catch (const EFOpenError& e) {
            EXPECT_THAT(lines, IsEmpty());
            return e.what();
        }
        return "";
    }
    std::filesystem::path Folder;
};

TEST_F(LoadTextFileKindsTest, OnlyRegularFilesAreRead) {
    const std::string pipe = (Folder / "pipe.srt").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // A loader that opened the pipe would wait for a writer forever; if it
    // has not answered within seconds, a writer that closes at once lets it
    // return, so the test fails instead of hanging.
    auto pipeError = std::async(std::launch::async, [&] { return OpenError(pipe); });
    if (pipeError.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "Loading a pipe waited for a writer";
        const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    }
    EXPECT_EQ(pipeError.get(), "Cannot open file \"" + pipe + "\". It is a pipe, not a regular file.");
    EXPECT_EQ(OpenError("/dev/zero"), "Cannot open file \"/dev/zero\". It is a device, not a regular file.");
    const std::string folder = Folder.string();
    EXPECT_EQ(OpenError(folder), "Cannot open file \"" + folder + "\". Is a directory");
    // A link to a regular file is read.
    std::ofstream(Folder / "real.srt") << "line";
    std::filesystem::create_symlink(Folder / "real.srt", Folder / "link.srt");
    EXPECT_EQ(OpenError((Folder / "link.srt").string()), "");
    EXPECT_EQ(LoadTextFileText((Folder / "link.srt").string(), cp1252), "line");
}

TEST_F(LoadTextFileKindsTest, FilesOverTheSizeLimitAreRefused) {
    // A sparse file: as long as the limit allows and one byte more, on no disk.
    const std::string big = (Folder / "big.srt").string();
    std::ofstream(big) << "1";
    std::filesystem::resize_file(big, MaxTextFileSize + 1);
    EXPECT_EQ(OpenError(big), "Cannot open file \"" + big + "\". The file is larger than 256 MB, too large for a text file.");
}

TEST(DecodeUtf8, AcceptsOnlyWellFormedSequences) {
    bool multi = true;
    EXPECT_EQ(DecodeUtf8("plain", &multi), WideString(u"plain"));
    EXPECT_FALSE(multi);
    EXPECT_EQ(DecodeUtf8("\xD0\x96\xE2\x82\xAC", &multi), WideString(u"\u0416\u20AC"));
    EXPECT_TRUE(multi);
    EXPECT_EQ(DecodeUtf8("\xF0\x9F\x98\x80"), WideString(u"\U0001F600"));
    for (const char* bad : {"\x80", "\xC2", "\xE2\x82", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE0\x80\x80", "\xFF"})
        EXPECT_FALSE(DecodeUtf8(bad).has_value()) << bad;
}

TEST(Charsets, TableAndCodePages) {
    std::vector<std::string> items{"junk"};
    FillCharsetList("MS Sans Serif", items);
    ASSERT_EQ(items.size(), 18u);
    EXPECT_EQ(items.front(), "ANSI_CHARSET");
    EXPECT_EQ(items[14], "RUSSIAN_CHARSET");
    EXPECT_EQ(items.back(), "OEM_CHARSET");
    EXPECT_EQ(CharsetToCodePage(RUSSIAN_CHARSET), 1251u);
    EXPECT_EQ(CharsetToCodePage(238), 1250u);
    EXPECT_EQ(CharsetToCodePage(DEFAULT_CHARSET), 0u);
    EXPECT_EQ(CharsetToCodePage(99), 0u);
    EXPECT_EQ(CharsetByIdentifier("GREEK_CHARSET"), std::optional<uint8_t>(161));
    EXPECT_FALSE(CharsetByIdentifier("greek_charset").has_value());
    // Every code page in the table converts with the platform's codec.
    const TSystemCodec codec(1252);
    for (const TCharsetName& c : CharsetNames) {
        if (uint32_t cp = CharsetToCodePage(c.Number)) {
            EXPECT_EQ(codec.ToWide("A", cp), u"A") << cp;
        }
    }
}
