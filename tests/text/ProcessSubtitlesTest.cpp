#include "text/ProcessSubtitles.h"

#include "../../bench/FilmTextGenerator.h"
#include "RandomDictionary.h"
#include "ReferenceRules.h"
#include "fakes/TFakePlatform.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace parlino {
namespace {

namespace fs = std::filesystem;

// Records the calls in order: "B449", "S0", ..., "E".
class TRecordingProgress final : public IProcessProgress {
public:
    std::vector<std::string> Calls;
    void Begin(int max) override { Calls.push_back("B" + std::to_string(max)); }
    void Step(int position) override { Calls.push_back("S" + std::to_string(position)); }
    void End() override { Calls.push_back("E"); }
};

TslItems Track(const std::vector<std::string>& texts) {
    TslItems items(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        items[i].DisplayText = items[i].SpeechText = texts[i];
    return items;
}

class ProcessSubtitlesTest : public ::testing::Test {
protected:
    test::TFakePlatform Platform{1252};
    const ITextCodec& Codec() { return Platform.Codec; }
};

TEST(RemoveStyleTagsTest, FourTagsInAnyCaseOnePassEach) {
    EXPECT_EQ(RemoveStyleTags("<i>Hello</i>"), "Hello");
    EXPECT_EQ(RemoveStyleTags("<I>a</I> <B>b</b> <b>c</B>"), "a b c");
    EXPECT_EQ(RemoveStyleTags("<u>x</u> <font color=red>y</font>"),
              "<u>x</u> <font color=red>y</font>");
    EXPECT_EQ(RemoveStyleTags("<<i>i>"), "<i>"); // what comes together is not looked at again
    EXPECT_EQ(RemoveStyleTags("<</i>b>x"), "x"); // ...but a later tag's pass sees it
    EXPECT_EQ(RemoveStyleTags("< i> <i"), "< i> <i");
}

TEST_F(ProcessSubtitlesTest, TagsLeaveTheSpokenTextButStayOnScreen) {
    TslItems items = Track({"", "<i>Hello</i>", "<B>Bold</B> and <u>under</u>"});
    ProcessSubtitles(items, nullptr, Codec());
    EXPECT_EQ(items[1].SpeechText, "Hello");
    EXPECT_EQ(items[1].DisplayText, "<i>Hello</i>");
    EXPECT_EQ(items[2].SpeechText, "Bold and <u>under</u>");
    EXPECT_EQ(items[0].SpeechText, "");
}

TEST_F(ProcessSubtitlesTest, RulesRunBeforeTheTagsGo) {
    TslItems items = Track({"", "<i>word</i>", "<i>a word</i>"});
    TStringList rules = {"word=term"};
    ProcessSubtitles(items, &rules, Codec());
    EXPECT_EQ(items[1].SpeechText, "word"); // "<" and ">" are word characters
    EXPECT_EQ(items[2].SpeechText, "a word");
    TslItems spaced = Track({"", "<i> word </i>"});
    ProcessSubtitles(spaced, &rules, Codec());
    EXPECT_EQ(spaced[1].SpeechText, " term ");
}

TEST_F(ProcessSubtitlesTest, FourHundredFiftyEntriesInBatchesOf201_201_48) {
    // Blank entries show where the batches end: a batch that is blank as a
    // whole comes back empty, a blank entry among others keeps its spaces.
    std::vector<std::string> texts(450);
    for (size_t i = 1; i < texts.size(); ++i)
        texts[i] = "line " + std::to_string(i);
    texts[200] = "  "; // last of batch 1
    for (size_t i = 201; i <= 401; ++i)
        texts[i] = "   "; // all of batch 2
    texts[402] = "  ";    // first of batch 3
    TslItems items = Track(texts);
    TStringList rules = {"line=row"};
    TRecordingProgress progress;
    ProcessSubtitles(items, &rules, Codec(), &progress);

    for (size_t i = 1; i < 200; ++i)
        EXPECT_EQ(items[i].SpeechText, "row " + std::to_string(i));
    EXPECT_EQ(items[200].SpeechText, "  ");
    for (size_t i = 201; i <= 401; ++i)
        EXPECT_EQ(items[i].SpeechText, "") << i;
    EXPECT_EQ(items[402].SpeechText, "  ");
    for (size_t i = 403; i < 450; ++i)
        EXPECT_EQ(items[i].SpeechText, "row " + std::to_string(i));
    for (size_t i = 0; i < 450; ++i)
        EXPECT_EQ(items[i].DisplayText, texts[i]);

    ASSERT_EQ(progress.Calls.size(), 452u);
    EXPECT_EQ(progress.Calls.front(), "B449");
    for (int i = 0; i < 450; ++i)
        EXPECT_EQ(progress.Calls[static_cast<size_t>(i) + 1], "S" + std::to_string(i));
    EXPECT_EQ(progress.Calls.back(), "E");
}

TEST_F(ProcessSubtitlesTest, WithoutRulesBlankBatchesKeepTheirSpaces) {
    TslItems items = Track({"", " ", "\t"});
    ProcessSubtitles(items, nullptr, Codec());
    EXPECT_EQ(items[1].SpeechText, " ");
    EXPECT_EQ(items[2].SpeechText, "\t");
}

TEST_F(ProcessSubtitlesTest, EveryEntryGetsItsOwnTextOnGeneratedFilm) {
    TslItems items = bench::FilmSubtitles(1000, 3);
    TslItems expected = items;
    TStringList rules = bench::FilmDictionary(500, 4);
    TStringList sorted = rules;
    SortRules(sorted);
    ProcessSubtitles(items, &rules, Codec());
    EXPECT_EQ(rules, sorted); // sorted in place
    // One entry at a time through the same engine gives the same text,
    // since no rule sees across a line break (no generated entry is blank).
    TCompiledRules compiled(sorted, Codec());
    for (size_t i = 1; i < items.size(); ++i) {
        std::string alone = RemoveStyleTags(compiled.Apply(expected[i].SpeechText + "\r\n"));
        ASSERT_EQ(items[i].SpeechText + "\r\n", alone) << i;
    }
}

TEST_F(ProcessSubtitlesTest, NoRuleMatchesAcrossEntries) {
    TslItems items = Track({"", "New", "York", "*ab", "cd"});
    TStringList rules = {"New York=NY", "*b c*=X", "b=Q"};
    ProcessSubtitles(items, &rules, Codec());
    EXPECT_EQ(items[1].SpeechText, "New");
    EXPECT_EQ(items[2].SpeechText, "York");
    EXPECT_EQ(items[3].SpeechText, "*ab");
}

TEST_F(ProcessSubtitlesTest, LineBreakInsideAnEntryDoesNotShiftTheOthers) {
    TslItems items = Track({"", "one\r\ntwo", "three\nfour", std::string("five\0six", 8), "seven"});
    ProcessSubtitles(items, nullptr, Codec());
    EXPECT_EQ(items[1].SpeechText, "one  two");
    EXPECT_EQ(items[2].SpeechText, "three four");
    EXPECT_EQ(items[3].SpeechText, "five six");
    EXPECT_EQ(items[4].SpeechText, "seven");
}

TEST_F(ProcessSubtitlesTest, EmptyTrackFailsBeforeAnyWork) {
    TslItems items;
    TRecordingProgress progress;
    TStringList rules = {"b=a", "aa=b"};
    EXPECT_THROW(ProcessSubtitles(items, &rules, Codec(), &progress), EParlinoError);
    EXPECT_TRUE(progress.Calls.empty());
    EXPECT_EQ(rules, (TStringList{"b=a", "aa=b"})); // not even sorted
}

TEST_F(ProcessSubtitlesTest, LeadingEntryAlonePasses) {
    TslItems items(1);
    TRecordingProgress progress;
    ProcessSubtitles(items, nullptr, Codec(), &progress);
    EXPECT_EQ(items[0].SpeechText, "");
    EXPECT_EQ(progress.Calls, (std::vector<std::string>{"B0", "S0", "E"}));
}

TEST_F(ProcessSubtitlesTest, FailureHidesTheProgressAndKeepsWhatWasDone) {
    std::vector<std::string> texts(300, "b");
    texts[250] = "a";
    TslItems items = Track(texts);
    // Every rule turns each "a" into 4096 of them: the second batch outgrows
    // every limit.
    TStringList rules(40, "*a*=" + std::string(4096, 'a'));
    rules.push_back("b=c");
    TRecordingProgress progress;
    EXPECT_THROW(ProcessSubtitles(items, &rules, Codec(), &progress), EParlinoError);
    EXPECT_EQ(progress.Calls.back(), "E");
    EXPECT_EQ(std::count(progress.Calls.begin(), progress.Calls.end(), "E"), 1);
    EXPECT_EQ(items[0].SpeechText, "c"); // first batch written
    EXPECT_EQ(items[200].SpeechText, "c");
    EXPECT_EQ(items[201].SpeechText, "b"); // second batch untouched
}

TEST_F(ProcessSubtitlesTest, ProcessBatchAdvancesTheWritePosition) {
    TslItems items = Track({"x", "x", "x", "x", "x"});
    TStringList rules = {"x=y"};
    TCompiledRules compiled(rules, Codec());
    size_t writePosition = 1;
    TStringList batch = {"x", "  "};
    ProcessBatch(batch, items, writePosition, &compiled);
    EXPECT_TRUE(batch.empty());
    EXPECT_EQ(writePosition, 3u);
    EXPECT_EQ(items[1].SpeechText, "y");
    EXPECT_EQ(items[2].SpeechText, "  ");
    batch = {" ", "<#pau500>"};
    ProcessBatch(batch, items, writePosition, &compiled);
    EXPECT_EQ(writePosition, 5u);
    EXPECT_EQ(items[3].SpeechText, "");
    EXPECT_EQ(items[4].SpeechText, "");
    ProcessBatch(batch, items, writePosition, &compiled); // empty: nothing
    EXPECT_EQ(writePosition, 5u);
    EXPECT_EQ(items[0].SpeechText, "x");
}

// Dictionary files.
class DictionaryFileTest : public ProcessSubtitlesTest {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() / ("parlino-dic-" + std::to_string(::getpid()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
    }
    void TearDown() override { fs::remove_all(Folder); }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(Folder / name, std::ios::binary) << bytes;
    }
    std::optional<TStringList> Load(const std::string& name, const ITextCodec& codec) {
        return LoadDictionaryRules(Folder.string(), name, codec);
    }
    fs::path Folder;
};

TEST_F(DictionaryFileTest, EveryEncodingEndsInTheSystemCodePage) {
    test::TFakePlatform russian(1251);
    const std::string expected = "\xD3\xEB.=\xF3\xEB\xE8\xF6\xE0"; // "Ул.=улица" in Windows-1251
    Write("ansi.dic", expected + "\r\n");
    Write("utf8-mark.dic",
          "\xEF\xBB\xBF\xD0\xA3\xD0\xBB.=\xD1\x83\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0\r\n");
    Write("utf8.dic", "\xD0\xA3\xD0\xBB.=\xD1\x83\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0\n");
    Write(
        "utf16.dic",
        std::string("\xFF\xFE\x23\x04\x3B\x04.\0=\0\x43\x04\x3B\x04\x38\x04\x46\x04\x30\x04", 20));
    for (const char* name : {"ansi.dic", "utf8-mark.dic", "utf8.dic", "utf16.dic"}) {
        std::optional<TStringList> rules = Load(name, russian.Codec);
        ASSERT_TRUE(rules) << name;
        EXPECT_EQ(*rules, TStringList{expected}) << name;
    }
    // The first rule of a marked file is a rule, not garbage.
    Write("mark-first.dic", "\xEF\xBB\xBF"
                            "cat=dog\n");
    EXPECT_EQ(ApplyRules("cat", *Load("mark-first.dic", Codec()), Codec()), "dog");
}

TEST_F(DictionaryFileTest, AnsiDictionaryReadsByteForByte) {
    std::string bytes = "caf\xE9=kafe\r\n// \xA9 comment\rna\xEFve=naive\n";
    Write("western.dic", bytes);
    EXPECT_EQ(*Load("western.dic", Codec()),
              (TStringList{"caf\xE9=kafe", "// \xA9 comment", "na\xEFve=naive"}));
}

TEST_F(DictionaryFileTest, MissingDictionaryIsNoDictionary) {
    EXPECT_FALSE(Load("none.dic", Codec()));
    EXPECT_FALSE(Load("", Codec()));
    fs::create_directory(Folder / "folder.dic");
    EXPECT_FALSE(Load("folder.dic", Codec()));
    ASSERT_EQ(::mkfifo((Folder / "pipe.dic").c_str(), 0600), 0);
    EXPECT_FALSE(Load("pipe.dic", Codec())); // would block if opened
    Write("empty.dic", "");
    EXPECT_EQ(*Load("empty.dic", Codec()), TStringList{});
    // The folder may come with or without its trailing delimiter.
    EXPECT_TRUE(LoadDictionaryRules(Folder.string() + "/", "empty.dic", Codec()));
}

// A file of random bytes chosen as the dictionary: the pass runs through,
// and every entry gets the text the rules define for its batch.
TEST_F(DictionaryFileTest, BinaryDictionaryThroughThePass) {
    Write("binary.dic", test::RandomDictionaryBytes(100000, 5));
    std::optional<TStringList> rules = Load("binary.dic", Codec());
    ASSERT_TRUE(rules);
    const TslItems original = bench::FilmSubtitles(450, 6);
    TslItems items = original;
    ASSERT_NO_THROW(ProcessSubtitles(items, &*rules, Codec()));
    // The same batches of 201 entries, the plain way.
    size_t changed = 0;
    for (size_t first = 0; first < items.size(); first += ProcessBatchSize) {
        const size_t count = std::min(ProcessBatchSize, items.size() - first);
        std::string text;
        for (size_t k = 0; k < count; ++k)
            text += original[first + k].SpeechText + "\r\n";
        TStringList lines;
        SplitLines(RemoveStyleTags(test::RefApplyRules(text, *rules, Codec())), lines);
        for (size_t k = 0; k < count; ++k) {
            const TslItem& item = items[first + k];
            EXPECT_EQ(item.SpeechText, k < lines.size() ? lines[k] : "") << first + k;
            EXPECT_EQ(item.DisplayText, original[first + k].DisplayText);
            changed += item.SpeechText != RemoveStyleTags(original[first + k].SpeechText);
        }
    }
    EXPECT_GT(changed, items.size() / 2); // the rules did rewrite the texts
}

TEST_F(DictionaryFileTest, DictionaryFolderIsDicWhenPresent) {
    EXPECT_EQ(DictionaryFolder(Folder.string()), Folder.string() + "/");
    EXPECT_EQ(DictionaryFolder(Folder.string() + "/"), Folder.string() + "/");
    fs::create_directory(Folder / "Dic");
    EXPECT_EQ(DictionaryFolder(Folder.string()), Folder.string() + "/Dic");
    EXPECT_EQ(DictionaryFolder(Folder.string() + "/"), Folder.string() + "/Dic");
}

// The dictionaries shipped with the program.
std::optional<TStringList> Shipped(const std::string& name, const ITextCodec& codec) {
    return LoadDictionaryRules(std::string(PARLINO_TEST_DATA) + "/../../Dic", name, codec);
}

std::string Pass(const std::string& text, TStringList rules, const ITextCodec& codec) {
    TslItems items = Track({"", text});
    ProcessSubtitles(items, &rules, codec);
    return items[1].SpeechText;
}

TEST(ShippedDictionariesTest, EnglishAbbreviationsAndSymbols) {
    test::TFakePlatform platform(1252);
    std::optional<TStringList> rules = Shipped("English.dic", platform.Codec);
    ASSERT_TRUE(rules);
    EXPECT_EQ(Pass("Dr. Smith and Mrs. Jones met Mr Brown.", *rules, platform.Codec),
              "Doctor Smith and Missus Jones met Mister Brown.");
    EXPECT_EQ(Pass("No. It's No. 5 on St. James St.", *rules, platform.Codec),
              "No. It's number 5 on Saint James St.");
    EXPECT_EQ(Pass("Tom & Jerry, 50% off.", *rules, platform.Codec),
              "Tom  and  Jerry, 50 percent off.");
    EXPECT_EQ(Pass("Hmm. I'm here, Dr.", *rules, platform.Codec), "Hmm. I'm here, Doctor");
}

TEST(ShippedDictionariesTest, EnglishNumbersAndUnits) {
    test::TFakePlatform platform(1252);
    std::optional<TStringList> rules = Shipped("English-Numbers.dic", platform.Codec);
    ASSERT_TRUE(rules);
    EXPECT_EQ(Pass("The 1st car did 60 mph for 5 km.", *rules, platform.Codec),
              "The first car did 60 miles per hour for 5 kilometers.");
    EXPECT_EQ(Pass("Mm-hmm. I'm 2 m tall.", *rules, platform.Codec), "Mm-hmm. I'm 2 m tall.");
}

TEST(ShippedDictionariesTest, RussianInWindows1251) {
    test::TFakePlatform platform(1251);
    const ITextCodec& codec = platform.Codec;
    std::optional<TStringList> rules = Shipped("Russian.dic", codec);
    ASSERT_TRUE(rules);
    auto ansi = [&](std::u16string_view s) { return codec.ToAnsi(s); };
    EXPECT_EQ(Pass(ansi(u"Т.е. это ул. Ленина, и т.д."), *rules, codec),
              ansi(u"то есть это улица Ленина, и так далее"));
    EXPECT_EQ(Pass(ansi(u"Это 5% и 100 руб."), *rules, codec),
              ansi(u"Это 5 процентов и 100 рублей"));
    // Read byte for byte: no line came through a UTF-8 decoding.
    std::ifstream file(std::string(PARLINO_TEST_DATA) + "/../../Dic/Russian.dic", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    TStringList raw;
    SplitLines(bytes, raw);
    EXPECT_EQ(*rules, raw);
}

TEST(ShippedDictionariesTest, EveryShippedLineIsACommentOrARule) {
    test::TFakePlatform platform(1252);
    for (const char* name : {"English.dic", "English-Numbers.dic", "Russian.dic"}) {
        std::optional<TStringList> rules = Shipped(name, platform.Codec);
        ASSERT_TRUE(rules) << name;
        for (const std::string& line : *rules) {
            if (line.empty() || line.starts_with("//"))
                continue;
            TRuleParts parts = SplitRule(line);
            EXPECT_FALSE(parts.Pattern.empty()) << name << ": " << line;
            EXPECT_NE(parts.Pattern, parts.Replacement) << name << ": " << line;
        }
    }
}

} // namespace
} // namespace parlino
