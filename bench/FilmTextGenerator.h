#pragma once
// Deterministic generators of film-like subtitle text and of dictionaries,
// for the dictionary pass benchmark and for the tests that compare the fast
// engine with a plain one. The same seed gives the same bytes everywhere.

#include "subtitles/TslItem.h"
#include "text/LoadTextFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace parlino::bench {

class TSplitMix {
public:
    explicit TSplitMix(uint64_t seed) : FState(seed) {}
    uint64_t Next() {
        uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n - 1
    size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(Next() % n); }
    bool Chance(unsigned percent) { return Below(100) < percent; }

private:
    uint64_t FState;
};

inline const std::vector<std::string>& EnglishVocabulary() {
    static const std::vector<std::string> words = {
        "I",          "you",
        "the",        "a",
        "to",         "and",
        "it",         "is",
        "that",       "what",
        "we",         "me",
        "this",       "of",
        "in",         "don't",
        "I'm",        "it's",
        "he",         "she",
        "they",       "know",
        "no",         "not",
        "have",       "do",
        "be",         "my",
        "your",       "for",
        "on",         "was",
        "are",        "with",
        "just",       "can",
        "get",        "all",
        "here",       "there",
        "so",         "right",
        "go",         "come",
        "like",       "want",
        "now",        "okay",
        "oh",         "yeah",
        "well",       "think",
        "out",        "up",
        "about",      "got",
        "let's",      "him",
        "her",        "gonna",
        "wanna",      "look",
        "good",       "really",
        "sorry",      "tell",
        "how",        "why",
        "where",      "when",
        "who",        "please",
        "thank",      "thanks",
        "Mr.",        "Mrs.",
        "Dr.",        "St.",
        "sir",        "man",
        "woman",      "kid",
        "baby",       "mother",
        "father",     "brother",
        "sister",     "friend",
        "doctor",     "police",
        "captain",    "money",
        "time",       "night",
        "day",        "tonight",
        "tomorrow",   "yesterday",
        "house",      "car",
        "gun",        "door",
        "phone",      "call",
        "help",       "stop",
        "wait",       "listen",
        "hey",        "God",
        "damn",       "hell",
        "never",      "always",
        "something",  "nothing",
        "everything", "someone",
        "nobody",     "everybody",
        "maybe",      "sure",
        "fine",       "great",
        "little",     "big",
        "old",        "new",
        "dead",       "alive",
        "kill",       "die",
        "love",       "hate",
        "need",       "mean",
        "said",       "say",
        "talk",       "take",
        "give",       "make",
        "keep",       "leave",
        "find",       "lost",
        "home",       "work",
        "job",        "boss",
        "town",       "city",
        "world",      "life",
        "way",        "thing",
        "place",      "room",
        "hand",       "head",
        "eyes",       "face",
        "heart",      "blood",
        "water",      "coffee",
        "dinner",     "school",
        "hospital",   "station",
        "street",     "road",
        "minute",     "hour",
        "second",     "week",
        "year",       "two",
        "three",      "ten",
        "hundred",    "first",
        "last",       "next",
        "John",       "Mary",
        "Jack",       "Sarah",
        "Frank",      "Kate",
        "Michael",    "Lucy",
        "Harris",     "Connor",
        "New",        "York",
        "Los",        "Angeles",
        "London",     "Paris",
        "well-known", "mother-in-law",
        "o'clock",    "ma'am",
        "can't",      "won't",
        "didn't",     "you're",
        "we're",      "they're",
        "isn't",      "shouldn't",
        "couldn't",   "wasn't",
        "ain't",      "y'all",
        "I'll",       "you'll",
        "I've",       "I'd",
        "%",          "&",
        "$5",         "50%",
        "24/7",       "1st",
        "2nd",        "No.",
        "km",         "kg",
        "OK",         "TV",
        "FBI",        "CIA",
    };
    return words;
}

// A made-up word of 4..10 letters, lower case.
inline std::string PseudoWord(TSplitMix& rnd) {
    static const char* const syllables[] = {"ka",  "zor", "vel", "th",  "ri",  "mon", "ex", "qua",
                                            "bli", "dro", "nu",  "sel", "gra", "pho", "wy", "ust"};
    std::string word;
    size_t parts = 2 + rnd.Below(3);
    for (size_t k = 0; k < parts; ++k)
        word += syllables[rnd.Below(16)];
    return word;
}

// `count` entries as a reader gives them: entry 0 the leading empty entry,
// then one or two lines of film dialogue joined by a space; some in italics
// or bold, some with a pause mark or a no-break space.
inline TslItems FilmSubtitles(size_t count, uint64_t seed,
                              const std::vector<std::string>& vocabulary = EnglishVocabulary()) {
    TSplitMix rnd(seed);
    TslItems items(count);
    static const char* const endings[] = {".", "?", "!", "...", ",", "", ".", "."};
    for (size_t i = 1; i < count; ++i) {
        std::string text;
        size_t lines = rnd.Chance(40) ? 2 : 1;
        for (size_t line = 0; line < lines; ++line) {
            if (line > 0)
                text += ' ';
            if (rnd.Chance(10))
                text += "- ";
            size_t words = 2 + rnd.Below(8);
            for (size_t w = 0; w < words; ++w) {
                if (w > 0)
                    text += rnd.Chance(3) ? "\xA0" : " ";
                std::string word = vocabulary[rnd.Below(vocabulary.size())];
                if (w == 0 && !word.empty() && word[0] >= 'a' && word[0] <= 'z')
                    word[0] = static_cast<char>(word[0] - 'a' + 'A');
                if (rnd.Chance(2))
                    word = PseudoWord(rnd);
                text += word;
                if (w + 1 < words && rnd.Chance(8))
                    text += ',';
            }
            text += endings[rnd.Below(8)];
            if (rnd.Chance(2))
                text += " <#pau500>";
        }
        if (rnd.Chance(12))
            text = "<i>" + text + "</i>";
        else if (rnd.Chance(3))
            text = "<B>" + text + "</B>";
        items[i].StartMs = static_cast<int32_t>(i * 2500);
        items[i].DisplayText = text;
        items[i].SpeechText = text;
    }
    return items;
}

// A dictionary of `count` lines in file order: whole-word rules for made-up
// words (most never match), rules for words of the text in every marker
// form, phrases, abbreviations and symbols, deletions, comments and lines
// that are no rules.
inline TStringList
FilmDictionary(size_t count, uint64_t seed,
               const std::vector<std::string>& vocabulary = EnglishVocabulary()) {
    TSplitMix rnd(seed);
    TStringList rules;
    rules.reserve(count);
    auto word = [&] { return vocabulary[rnd.Below(vocabulary.size())]; };
    while (rules.size() < count) {
        size_t choice = rnd.Below(100);
        std::string line;
        if (choice < 2) {
            line = "// " + PseudoWord(rnd) + " = " + PseudoWord(rnd);
        } else if (choice < 3) {
            line = PseudoWord(rnd); // no "=": not a rule
        } else if (choice < 50) {
            line = PseudoWord(rnd) + "=" + PseudoWord(rnd);
        } else if (choice < 70) {
            std::string w = word();
            static const char* const prefixes[] = {"", "", "", "$", "*", "$*"};
            static const char* const suffixes[] = {"", "", "", "*"};
            std::string prefix = prefixes[rnd.Below(6)];
            std::string suffix = suffixes[rnd.Below(4)];
            // Inside-word forms only for longer words, as real dictionaries have them.
            if (w.size() < 4) {
                if (prefix == "$*")
                    prefix = "$";
                else if (prefix == "*")
                    prefix.clear();
                suffix.clear();
            }
            line = prefix + w + suffix + "=" + (rnd.Chance(50) ? PseudoWord(rnd) : word());
        } else if (choice < 82) {
            line = word() + " " + word() + "=" + PseudoWord(rnd) + " " + PseudoWord(rnd);
        } else if (choice < 88) {
            line = PseudoWord(rnd) + "-" + PseudoWord(rnd) + "=" + PseudoWord(rnd);
        } else if (choice < 93) {
            line = "$" + PseudoWord(rnd) + "*=" + PseudoWord(rnd);
        } else if (choice < 96) {
            line = word() + "="; // deletes the word
        } else if (choice < 98) {
            line = PseudoWord(rnd) + "==" + PseudoWord(rnd) + "=" + PseudoWord(rnd);
        } else {
            static const char* const symbols[] = {"*%= percent",   "*&*= and ",      "Dr.=Doctor",
                                                  "Mr.=Mister",    "Mrs.=Missus",    "St.=Street",
                                                  "km=kilometres", "No.=number",     "OK=okay",
                                                  "*#*= hash ",    "<#pau500>=pause"};
            line = symbols[rnd.Below(11)];
        }
        rules.push_back(std::move(line));
    }
    return rules;
}

} // namespace parlino::bench
