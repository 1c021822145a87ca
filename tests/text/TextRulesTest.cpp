#include "text/TextRules.h"

#include "../../bench/FilmTextGenerator.h"
#include "RandomDictionary.h"
#include "ReferenceRules.h"
#include "fakes/TFakePlatform.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace parlino {
namespace {

class TextRulesTest : public ::testing::Test {
protected:
    test::TFakePlatform Platform{1252};
    const ITextCodec& Codec() { return Platform.Codec; }
    std::string Rule(std::string_view text, std::string_view pattern,
                     std::string_view replacement) {
        return ApplyRule(text, pattern, replacement, Codec());
    }
    // Sorts like the pass does, then applies.
    std::string Rules(std::string_view text, TStringList rules) {
        SortRules(rules);
        return ApplyRules(text, rules, Codec());
    }
};

TEST(SplitRuleTest, DoubledEqualsIsLiteralAndFirstSingleSeparates) {
    auto split = [](std::string_view line) {
        TRuleParts p = SplitRule(line);
        return p.Pattern + "|" + p.Replacement;
    };
    EXPECT_EQ(split("cat=dog"), "cat|dog");
    EXPECT_EQ(split("a===b"), "a=|b");
    EXPECT_EQ(split("a==b"), "|");          // no single "=": not a rule
    EXPECT_EQ(split("x="), "x|");           // deletes x
    EXPECT_EQ(split("=x"), "|x");           // empty pattern
    EXPECT_EQ(split(" a = b "), " a | b "); // nothing trimmed
    EXPECT_EQ(split("x=a==b=c"), "x|a=b=c");
    EXPECT_EQ(split("*==*= equals "), "*=*| equals ");
    EXPECT_EQ(split(""), "|");
}

TEST(RuleKindTest, MarkerFormsAndPhrases) {
    EXPECT_EQ(RuleKind("$word"), 1);
    EXPECT_EQ(RuleKind("word"), 2);
    EXPECT_EQ(RuleKind("$$word"), 2);
    EXPECT_EQ(RuleKind("w"), 2);
    EXPECT_EQ(RuleKind(""), 2);
    EXPECT_EQ(RuleKind("$"), 2);
    EXPECT_EQ(RuleKind("$word*"), 3);
    EXPECT_EQ(RuleKind("$word**"), 1);
    EXPECT_EQ(RuleKind("$*word"), 4);
    EXPECT_EQ(RuleKind("$**word"), 1);
    EXPECT_EQ(RuleKind("word*"), 5);
    EXPECT_EQ(RuleKind("word**"), 2);
    EXPECT_EQ(RuleKind("*word"), 6);
    EXPECT_EQ(RuleKind("**word"), 2);
    EXPECT_EQ(RuleKind("$*word*"), 7);
    EXPECT_EQ(RuleKind("*word*"), 8);
    EXPECT_EQ(RuleKind("New York"), -98);
    EXPECT_EQ(RuleKind("well-known*"), -95);
    EXPECT_EQ(RuleKind("$o'clock"), -99);
    EXPECT_EQ(RuleKind("-"), 2); // under two characters: no phrase test
}

TEST(CompareRulesTest, SmallerKindThenLongerPatternFirst) {
    TStringList rules = {"Mr=Mister", "Mrs=Missus", "New York=NY", "$Cat=dog", "a=b"};
    EXPECT_LT(CompareRules(rules, 1, 0), 0); // same kind, longer first
    EXPECT_GT(CompareRules(rules, 0, 1), 0);
    EXPECT_LT(CompareRules(rules, 2, 3), 0); // phrase before any word
    EXPECT_LT(CompareRules(rules, 3, 0), 0); // kind 1 before kind 2
    EXPECT_EQ(CompareRules("ab=x", "cd=y"), 0);
    EXPECT_EQ(CompareRules("a==b", "=x"), 0); // no rules: like empty patterns
}

TEST(SortRulesTest, StableAndGroupedByKind) {
    TStringList rules = {"b=1",   "x==y",   "*tail=2",      "New York=NY", "a=3",
                         "abc=4", "$Cap=5", "well-known=6", "c=7"};
    SortRules(rules);
    TStringList expected = {"well-known=6", "New York=NY", "$Cap=5", "abc=4",  "b=1",
                            "a=3",          "c=7",         "x==y",   "*tail=2"};
    EXPECT_EQ(rules, expected);
    // Same order as a stable sort by CompareRules.
    TStringList again = {"b=1",   "x==y",   "*tail=2",      "New York=NY", "a=3",
                         "abc=4", "$Cap=5", "well-known=6", "c=7"};
    std::stable_sort(again.begin(), again.end(), [](const std::string& a, const std::string& b) {
        return CompareRules(a, b) < 0;
    });
    EXPECT_EQ(rules, again);
}

TEST(IsWordDelimiterTest, ExactlyTheTwentyFourCharacters) {
    const std::string_view expected = " .,?;:'\"~!@#%&*()=+-|\r\n\t";
    int count = 0;
    for (int c = 0; c < 256; ++c) {
        bool delimiter = IsWordDelimiter(static_cast<char>(c));
        count += delimiter;
        EXPECT_EQ(delimiter, expected.find(static_cast<char>(c)) != std::string_view::npos) << c;
    }
    EXPECT_EQ(count, 24);
    for (char c : std::string_view("/\\<>[]_$\x01\xA0\xE9"))
        EXPECT_FALSE(IsWordDelimiter(c)) << int(c);
}

TEST(ReplaceAllTest, InsertedTextIsNeverSearchedAgain) {
    EXPECT_EQ(ReplaceAll("aa", "a", "aa"), "aaaa");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("xyz", "", "q"), "xyz");
    EXPECT_EQ(ReplaceAll("Abc abc", "abc", "d"), "Abc d");
}

TEST_F(TextRulesTest, WholeWordsInAnyCase) {
    EXPECT_EQ(Rule("Cat, catalog and bobcat.", "cat", "dog"), "dog, catalog and bobcat.");
    EXPECT_EQ(Rule("cat Cat CAT", "$Cat", "dog"), "cat dog CAT");
    EXPECT_EQ(Rule("$cat", "$$cat", "X"), "X"); // "$$": a literal "$", any case
    EXPECT_EQ(Rule("$CAT", "$$cat", "X"), "X");
}

TEST_F(TextRulesTest, StarMarkersLiftTheBoundaryTests) {
    EXPECT_EQ(Rule("catalog cat bobcat", "cat*", "X"), "Xalog X bobcat");
    EXPECT_EQ(Rule("catalog cat bobcat", "*cat", "X"), "catalog X bobX");
    EXPECT_EQ(Rule("catalog cat bobcat", "*cat*", "X"), "Xalog X bobX");
    EXPECT_EQ(Rule("CATalog Cat", "$*Cat*", "X"), "CATalog X");
    // "**": a literal star, boundary test kept.
    EXPECT_EQ(Rule("a *b c*b", "**b", "X"), "a X c*b");
    EXPECT_EQ(Rule("b* b*c", "b**", "X"), "X b*c");
}

TEST_F(TextRulesTest, CharacterAfterTheMatchMustBeADelimiter) {
    EXPECT_EQ(Rule("Dr. Smith", "Dr.", "Doctor"), "Doctor Smith");
    EXPECT_EQ(Rule("Dr.X and Dr.", "Dr.", "Doctor"), "Dr.X and Doctor");
    EXPECT_EQ(Rule("a-a a'a", "a", "b"), "b-b b'b");
    EXPECT_EQ(Rule("<i>word</i> word", "word", "term"), "<i>word</i> term");
    EXPECT_EQ(Rule("x/y x_y x", "x", "z"), "x/y x_y z");
}

TEST_F(TextRulesTest, ShrinkingSearch) {
    EXPECT_EQ(Rule("abab", "ab", "X"), "abab");
    EXPECT_EQ(Rule("abab", "ab*", "X"), "XX"); // the second ab starts the remaining text
    EXPECT_EQ(Rule("x x x", "x", "y"), "y y y");
    EXPECT_EQ(Rule("xx x x", "x", "y"), "xx y y");
    EXPECT_EQ(Rule("aaa", "*aa*", "b"), "ba"); // no overlap with an accepted match
    EXPECT_EQ(Rule("aab", "*ab", "X"), "aX");  // overlap with a rejected one is fine
    EXPECT_EQ(Rule("catcat", "cat", "dog"), "catcat");
}

TEST_F(TextRulesTest, RulesThatCannotApplyChangeNothing) {
    EXPECT_EQ(Rule("a b", "a", "a"), "a b");
    for (const char* pattern : {"$", "*", "$*", "**", "$**", ""})
        EXPECT_EQ(Rule("a * $ b", pattern, "X"), "a * $ b") << pattern;
    EXPECT_EQ(Rules("x x", {"x=x", "x=y"}), "y y"); // equal sides first: skipped, the next applies
    EXPECT_EQ(Rules("a", {"a==b"}), "a");
    EXPECT_EQ(Rules("a= b", {"a===b"}), "b b");
    EXPECT_EQ(Rules("x y x", {"x="}), " y ");
    EXPECT_EQ(Rules("// b", {"// b=c", "//=c"}), "// b");
}

TEST_F(TextRulesTest, ReplacementIsInsertedAsWrittenAndNotSearchedAgain) {
    EXPECT_EQ(Rule("HELLO hello", "hello", "Hi"), "Hi Hi");
    EXPECT_EQ(Rule("a", "a", "a a"), "a a");
    EXPECT_EQ(Rule("ab", "*ab*", "abab"), "abab");
    EXPECT_EQ(Rules("a", {"a=a a", "b=c"}), "a a");
}

TEST_F(TextRulesTest, OrderOfRules) {
    // Phrases before words, whatever their place in the file.
    EXPECT_EQ(Rules("I love New York", {"York=Yorkshire", "New York=NY"}), "I love NY");
    // Same kind: the longer pattern first.
    EXPECT_EQ(Rules("Mr Smith and Mrs Smith", {"Mr=Mister", "Mrs=Missus"}),
              "Mister Smith and Missus Smith");
    // A later rule sees what an earlier one put in.
    EXPECT_EQ(Rules("television", {"vision=sight", "television=tele vision"}), "tele sight");
    // Unsorted list: applied in list order.
    EXPECT_EQ(ApplyRules("x", {"x=y", "y=z"}, Codec()), "z");
    EXPECT_EQ(ApplyRules("x", {"y=z", "x=y"}, Codec()), "y");
}

TEST_F(TextRulesTest, PauseMark) {
    EXPECT_EQ(Rules("Wait.<#pau500> Go", {}), "Wait..\\PAU=500\\. Go");
    EXPECT_EQ(Rules("stop here", {"here=<#pau500>"}), "stop <#pau500>");
    // The mark cannot be rewritten by a rule about its text.
    EXPECT_EQ(Rules("a <#pau500> b", {"*pau*=X", "<#pau500>=Y"}), "a .\\PAU=500\\. b");
}

TEST_F(TextRulesTest, BlankTextsComeOutEmpty) {
    for (const char* text :
         {"", "   ", "\xA0\xA0", "\t\r\n", "<#pau500>", " <#pau500>\r\n<#pau500> \xA0"})
        EXPECT_EQ(Rules(text, {"a=b"}), "") << text;
    EXPECT_EQ(Rules(" a ", {}), " a "); // otherwise nothing is trimmed
    EXPECT_EQ(Rules("a\xA0"
                    "b",
                    {}),
              "a b");
    EXPECT_EQ(Rules("a\xA0"
                    "b",
                    {"a b=c"}),
              "c");
}

TEST_F(TextRulesTest, DictionaryWhoseFirstRuleHasEqualSides) {
    EXPECT_EQ(ApplyRules("word", {"word=word"}, Codec()), "word");
}

TEST(TextRules1251Test, CyrillicRulesIgnoreCase) {
    test::TFakePlatform platform(1251);
    const ITextCodec& codec = platform.Codec;
    auto ansi = [&](std::u16string_view s) { return codec.ToAnsi(s); };
    // "Привет, ПРИВЕТ и приветствие" with the rule "привет=здравствуй".
    std::string text = ansi(u"Привет, ПРИВЕТ и приветствие");
    EXPECT_EQ(ApplyRule(text, ansi(u"привет"), ansi(u"здравствуй"), codec),
              ansi(u"здравствуй, здравствуй и приветствие"));
    EXPECT_EQ(ApplyRule(text, ansi(u"$Привет"), "X", codec), ansi(u"X, ПРИВЕТ и приветствие"));
    EXPECT_EQ(ApplyRule(ansi(u"Ёлка ёлка"), ansi(u"ёлка"), "E", codec), "E E");
    // Cyrillic letters are word characters.
    EXPECT_EQ(ApplyRule(ansi(u"т.е. ит.е."), ansi(u"т.е."), ansi(u"то есть"), codec),
              ansi(u"то есть ит.е."));
    TStringList rules = {ansi(u"т.е.=то есть"), ansi(u"$*ИЧ=ич")};
    SortRules(rules);
    TCompiledRules compiled(rules, codec);
    EXPECT_EQ(compiled.Apply(ansi(u"Т.Е. ПЕТРОВИЧ")), ansi(u"то есть ПЕТРОВич"));
}

// Japanese, Chinese and Korean text: the engine works on whole characters.
class TextRulesDoubleByteTest : public ::testing::Test {
protected:
    // Sorts like the pass does, then applies, in code page `codePage`.
    static std::string Rules(uint32_t codePage, std::string_view text, TStringList rules) {
        test::TFakePlatform platform(codePage);
        SortRules(rules);
        return ApplyRules(text, rules, platform.Codec);
    }
    static std::string Ansi(uint32_t codePage, std::u16string_view text) {
        return test::TFakePlatform(codePage).Codec.ToAnsi(text);
    }
};

TEST_F(TextRulesDoubleByteTest, TrailByteA0IsNoNoBreakSpace) {
    // "あ" is 82 A0 in Shift-JIS: any dictionary used to break it.
    const std::string text = Ansi(932, u"あいう、ありがとう");
    EXPECT_EQ(Rules(932, text, {"x=y"}), text);
    EXPECT_EQ(Rules(932, text, {"*\xA0*=X", "*\x82*=Y"}), text); // no match inside a character
    EXPECT_EQ(Rules(932, "a\xA0" "b", {}), "a b"); // the one-byte character A0 still is a space
    const std::string chinese = Ansi(936, u"中文 啊"); // "啊" is B0 A1
    EXPECT_EQ(Rules(936, chinese, {"x=y"}), chinese);
}

TEST_F(TextRulesDoubleByteTest, TrailBytesAreNeitherDelimitersNorMatches) {
    // "ポ" (83 7C) ends in the byte of "|", "ァ" (83 40) in that of "@",
    // "ア" (83 41) in that of "A", "ヂ" (83 61) in that of "a".
    EXPECT_EQ(Rules(932, Ansi(932, u"ポx ァx x"), {"x=y"}), Ansi(932, u"ポx ァx y"));
    EXPECT_EQ(Rules(932, Ansi(932, u"ア ヂ a"), {"*a=X"}), Ansi(932, u"ア ヂ X"));
    EXPECT_EQ(Rules(932, Ansi(932, u"ア ヂ a"), {"$*A*=X"}), Ansi(932, u"ア ヂ a"));
    // A pattern that ends in a lead byte matches no character that begins with it.
    EXPECT_EQ(Rules(932, Ansi(932, u"ア"), {"*\x83*=X"}), Ansi(932, u"ア"));
    // Korean "갵" (81 61) and "갂" (81 41), Chinese "乤" (81 61).
    EXPECT_EQ(Rules(949, Ansi(949, u"갵 갂 a"), {"*a*=X"}), Ansi(949, u"갵 갂 X"));
    EXPECT_EQ(Rules(936, Ansi(936, u"乤 a"), {"*A*=X"}), Ansi(936, u"乤 X"));
    // Traditional Chinese "弋" (A4 7C).
    EXPECT_EQ(Rules(950, Ansi(950, u"弋x x"), {"x=y"}), Ansi(950, u"弋x y"));
}

TEST_F(TextRulesDoubleByteTest, WordsOfTheLanguageAreRewritten) {
    // Only the 24 delimiters end a word: "、" and "。" are word characters.
    EXPECT_EQ(Rules(932, Ansi(932, u"日本語 日本, 日本、東京"), {Ansi(932, u"日本=にほん"), Ansi(932, u"*京=きょう")}),
              Ansi(932, u"日本語 にほん, 日本、東きょう"));
    EXPECT_EQ(Rules(936, Ansi(936, u"中国 中文. 中文。"), {Ansi(936, u"中文=汉语")}), Ansi(936, u"中国 汉语. 中文。"));
    EXPECT_EQ(Rules(949, Ansi(949, u"한국 한국어"), {Ansi(949, u"한국=Korea")}), Ansi(949, u"Korea 한국어"));
    // Two-byte letters in any case: full-width, Greek and Cyrillic.
    EXPECT_EQ(Rules(932, Ansi(932, u"ＡＢＣ ａｂｃ αβ ДА"), {Ansi(932, u"ａｂｃ=1"), Ansi(932, u"Αβ=2"), Ansi(932, u"да=3")}),
              "1 1 2 3");
    EXPECT_EQ(Rules(949, Ansi(949, u"Ω ω"), {Ansi(949, u"ω=o")}), "o o");
}

TEST_F(TextRulesDoubleByteTest, ALetterWithoutCapitalLeavesCaseFoldingToTheRest) {
    // GBK has "é" but no "É": case-insensitive rules still match all else.
    const std::string text = "dr. caf\xA8\xA6 " + Ansi(936, u"Ω");
    EXPECT_EQ(Rules(936, text, {"Dr.=Doctor", Ansi(936, u"ω=omega")}), "Doctor caf\xA8\xA6 omega");
}

// The engine against the step-by-step implementation on generated text.
struct TCompareCase {
    uint32_t CodePage;
    bool Cyrillic;
};

// Words of many scripts; each code page takes those it can write. In the
// double-byte code pages they bring trail bytes that look like delimiters
// ("ポ", "ァ"), letters ("ア", "ヂ", "갵") or a no-break space ("あ").
std::vector<std::string> WordsOfTheCodePage(const ITextCodec& codec) {
    std::vector<std::string> words;
    for (std::u16string_view w :
         {u"日本", u"日本語", u"あ", u"ありがとう", u"ア", u"ヂ", u"ポ", u"ァ", u"表", u"ソ", u"東京",
          u"ｱｲｳ", u"ａｂｃ", u"ＡＢＣ", u"中文", u"中国", u"你好", u"乤", u"啊", u"弋", u"臺灣",
          u"한국", u"한국어", u"갵", u"갂", u"안녕", u"α", u"Α", u"ω", u"Ω", u"д", u"Д", u"é",
          u"café", u"\u3000", u"、", u"。"}) {
        std::string ansi = codec.ToAnsi(w);
        if (ansi.find('?') == std::string::npos)
            words.push_back(std::move(ansi));
    }
    return words;
}

class EngineMatchesReferenceTest : public ::testing::TestWithParam<TCompareCase> {};

TEST_P(EngineMatchesReferenceTest, SameTextsOnGeneratedInput) {
    test::TFakePlatform platform(GetParam().CodePage);
    const ITextCodec& codec = platform.Codec;
    std::vector<std::string> vocabulary = bench::EnglishVocabulary();
    if (GetParam().Cyrillic) {
        for (std::u16string_view w :
             {u"Привет", u"да", u"нет", u"т.е.", u"Ёжик", u"ёжик", u"ул.", u"что-то", u"ПОЧЕМУ",
              u"почему", u"Иван", u"№", u"сказал", u"Хорошо"})
            vocabulary.push_back(codec.ToAnsi(w));
        vocabulary.push_back(
            "caf\xE9"); // a byte above 7F that means different letters in each code page
    }
    const std::vector<std::string> own = WordsOfTheCodePage(codec);
    // Their words as often as the English ones.
    for (size_t k = 0; k < 6; ++k)
        vocabulary.insert(vocabulary.end(), own.begin(), own.end());
    for (uint64_t seed : {1u, 2u, 3u}) {
        TslItems items = bench::FilmSubtitles(202, seed, vocabulary);
        TStringList rules = bench::FilmDictionary(600, seed * 7, vocabulary);
        // Rules that feed on each other and lines with odd markers as well;
        // single bytes that are trail or lead bytes in double-byte code
        // pages, and a replacement that ends in a lead byte.
        rules.insert(rules.end(), {"*a*=aa", "*e*=$e", "x**=y", "**y=z", "$$=dollar", "$*=X",
                                   "*==*=eq", "*t*=", "I=I I", "*|*=bar", "*@*=at", "*\\*=yen",
                                   "*\xA0*=nbsp", "*\x83=lead", "*\x82*=L", "zor=\x83"});
        SortRules(rules);
        std::string text;
        for (const TslItem& item : items)
            text += item.SpeechText + "\r\n";
        TCompiledRules compiled(rules, codec);
        EXPECT_EQ(compiled.Apply(text), test::RefApplyRules(text, rules, codec)) << "seed " << seed;
        for (size_t k = 0; k < 40; ++k) {
            auto [pattern, replacement] = test::RefSplitRule(rules[k * 13 % rules.size()]);
            EXPECT_EQ(ApplyRule(text, pattern, replacement, codec),
                      test::RefApplyRule(text, pattern, replacement, codec))
                << pattern;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages, EngineMatchesReferenceTest,
                         ::testing::Values(TCompareCase{1252, false}, TCompareCase{1252, true},
                                           TCompareCase{1251, true}, TCompareCase{932, false},
                                           TCompareCase{936, false}, TCompareCase{949, true},
                                           TCompareCase{950, false}));

// A file of random bytes read as a dictionary gives the results the rules
// define, in bounded time.
TEST_F(TextRulesTest, BinaryDictionary) {
    TStringList rules;
    DecodeTextBytes(rules, test::RandomDictionaryBytes(30000, 99), Codec());
    std::string text;
    for (const TslItem& item : bench::FilmSubtitles(201, 5))
        text += item.SpeechText + "\r\n";
    SortRules(rules);
    std::string result;
    ASSERT_NO_THROW(result = ApplyRules(text, rules, Codec()));
    EXPECT_EQ(result, test::RefApplyRules(text, rules, Codec()));
    EXPECT_NE(result, ApplyRules(text, {}, Codec())); // the rules did rewrite the text
}

TEST_F(TextRulesTest, MegabyteLines) {
    std::string huge(1 << 20, 'a');
    // A pattern of 1 MB, a replacement of 1 MB, and a text of 1 MB.
    EXPECT_EQ(Rules("a b a", {huge + "=x"}), "a b a");
    EXPECT_EQ(Rules("a b", {"b=" + huge}), "a " + huge);
    std::string text = huge + " b";
    EXPECT_EQ(Rules(text, {"b=c", "*aaaa*=", huge + "=x"}), "x c");
    std::string words;
    for (int k = 0; k < 100000; ++k)
        words += "ab ";
    std::string expected;
    for (int k = 0; k < 100000; ++k)
        expected += "X ";
    EXPECT_EQ(Rules(words, {"ab=X"}), expected);
}

TEST_F(TextRulesTest, HundredThousandRules) {
    TStringList rules = bench::FilmDictionary(100000, 11);
    std::string text;
    for (const TslItem& item : bench::FilmSubtitles(201, 12))
        text += item.SpeechText + "\r\n";
    SortRules(rules);
    ASSERT_EQ(rules.size(), 100000u);
    std::string result = ApplyRules(text, rules, Codec());
    EXPECT_FALSE(result.empty());
    EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 201);
}

TEST_F(TextRulesTest, RulesThatFeedOnEachOtherStopWithAnError) {
    // Each rule turns every "a" into 4096 of them: left alone, ten rules
    // would need 2^120 bytes.
    EXPECT_THROW(ApplyRules("a", TStringList(10, "*a*=" + std::string(4096, 'a')), Codec()),
                 EParlinoError);
    EXPECT_THROW(ApplyRule(std::string(1 << 14, 'a'), "*a*", std::string(2048, 'b'), Codec()),
                 EParlinoError);
    // Sixteen doublings are still fine.
    std::string result = ApplyRules("a", TStringList(16, "a=a a"), Codec());
    EXPECT_EQ(result.size(), 2u * (1u << 16) - 1);
    try {
        ApplyRules("a", TStringList(10, "*a*=" + std::string(4096, 'a')), Codec());
    } catch (const EParlinoError& e) {
        EXPECT_STREQ(e.what(), "The dictionary would make the subtitle text grow by more than 16 MB: "
                               "some of its rules keep feeding on each other's replacements.");
    }
}

TEST_F(TextRulesTest, OnlyGrowthCausedByTheRulesIsLimited) {
    // A batch longer than the limit by itself, with rules that keep its
    // length or make it a little longer.
    const std::string text = std::string(MaxRulesGrowth + 10, 'x') + " a b";
    EXPECT_EQ(Rules(text, {"a=c", "*b=" + std::string(1 << 20, 'd')}),
              std::string(MaxRulesGrowth + 10, 'x') + " c " + std::string(1 << 20, 'd'));
    EXPECT_EQ(ApplyRule(text, "a", "c", Codec()).size(), text.size());
    // Growth past the limit is an error, however long the text was.
    EXPECT_THROW(Rules(text, {"*b=" + std::string(MaxRulesGrowth + 2, 'd')}), EParlinoError);
    EXPECT_THROW(ApplyRule(text, "*b", std::string(MaxRulesGrowth + 2, 'd'), Codec()), EParlinoError);
}

} // namespace
} // namespace parlino
