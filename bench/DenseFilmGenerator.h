#pragma once
// A deterministic film of dense dialogue for the speech-fitting benchmark:
// scenes of rapid exchanges (16 to 21 characters a second while an entry is
// shown, a blink between entries) alternate with quieter passages (slower
// lines, pauses of seconds). The text is plain English sentences built from
// a small grammar, so that the voice reads what a film would have. The same
// seed gives the same file everywhere.

#include "FilmTextGenerator.h"

#include <cstdio>
#include <string>
#include <vector>

namespace parlino::bench {

struct TDenseEntry {
    int32_t StartMs = 0, EndMs = 0;
    std::string Text; // one line, or two joined by "\n"
};

class TDenseDialogue {
public:
    explicit TDenseDialogue(uint64_t seed) : FRnd(seed) {}

    // One or two sentences of dialogue, at most about 84 characters.
    std::string Line() {
        std::string text = Sentence();
        if (text.size() < 30 && FRnd.Chance(55)) {
            std::string more = Sentence();
            if (text.size() + more.size() < 84)
                text += " " + more;
        }
        return text;
    }

private:
    template <size_t N> const char* Pick(const char* const (&list)[N]) { return list[FRnd.Below(N)]; }

    struct TVerb {
        const char *Base, *Past, *Object;
    };

    const TVerb& Verb() {
        static const TVerb verbs[] = {
            {"find", "found", "the money"},     {"call", "called", "the police"},
            {"lose", "lost", "the keys"},       {"see", "saw", "the car"},
            {"read", "read", "the letter"},     {"fix", "fixed", "the radio"},
            {"sell", "sold", "the boat"},       {"move", "moved", "the boxes"},
            {"tell", "told", "your mother"},    {"meet", "met", "the new doctor"},
            {"take", "took", "the last train"}, {"open", "opened", "the back door"},
            {"check", "checked", "the engine"}, {"bring", "brought", "the papers"},
            {"hide", "hid", "the photographs"}, {"pay", "paid", "the driver"},
            {"wake", "woke", "the children"},   {"follow", "followed", "that man"},
            {"burn", "burned", "the files"},    {"leave", "left", "the lights on"},
        };
        return verbs[FRnd.Below(std::size(verbs))];
    }

    std::string Subject() {
        static const char* const subjects[] = {"I",          "We",          "You",
                                               "He",         "She",         "They",
                                               "Frank",      "Your sister", "The captain",
                                               "My brother", "Somebody",    "Mrs. Harris"};
        return Pick(subjects);
    }
    std::string Place() {
        static const char* const places[] = {"",
                                             "",
                                             " at the station",
                                             " in the kitchen",
                                             " behind the hotel",
                                             " on the bridge",
                                             " at the hospital",
                                             " down by the river",
                                             " in the parking lot",
                                             " outside the bank"};
        return Pick(places);
    }
    std::string When() {
        static const char* const times[] = {"",          "",           " last night", " this morning",
                                            " an hour ago", " on Friday", " yesterday",  " before dinner"};
        return Pick(times);
    }
    std::string Name() {
        static const char* const names[] = {"Kate", "Jack", "Sarah", "Michael", "Lucy",
                                            "Connor", "John", "Mary", "Doctor", "Sir"};
        return Pick(names);
    }

    std::string Sentence() {
        switch (FRnd.Below(9)) {
        case 0: {
            const TVerb& v = Verb();
            return Subject() + " " + v.Past + " " + v.Object + Place() + When() + ".";
        }
        case 1: {
            const TVerb& v = Verb();
            static const char* const subjects[] = {"you", "he", "she", "they", "Frank", "anyone"};
            return std::string("Did ") + Pick(subjects) + " " + v.Base + " " + v.Object + Place() +
                   "?";
        }
        case 2: {
            const TVerb& v = Verb();
            static const char* const modals[] = {"can't", "won't", "should", "have to",
                                                 "need to", "could"};
            static const char* const reasons[] = {"",
                                                  " before it gets dark",
                                                  " until the rain stops",
                                                  " if we want to get out of here",
                                                  " without telling anyone",
                                                  " right now"};
            return Subject() + " " + Pick(modals) + " " + v.Base + " " + v.Object +
                   Pick(reasons) + ".";
        }
        case 3: {
            const TVerb& v = Verb();
            static const char* const ends[] = {" and wait outside.", " and don't look back.",
                                               ", now.", " before they get here.", ", please.",
                                               "."};
            return Name() + ", " + v.Base + " " + v.Object + Pick(ends);
        }
        case 4: {
            const TVerb& v = Verb();
            static const char* const openers[] = {"I told you", "I think", "Nobody knew",
                                                  "Are you sure", "I can't believe",
                                                  "She swears"};
            const std::string opener = Pick(openers);
            static const char* const subjects[] = {"he", "she", "they", "we", "Frank", "somebody"};
            return opener + " " + Pick(subjects) + " " + v.Past + " " + v.Object + When() +
                   (opener == "Are you sure" ? "?" : ".");
        }
        case 5: {
            static const char* const replies[] = {
                "No.", "Wait!", "Are you sure?", "I don't know.", "What do you mean?",
                "Get down!", "Listen to me.", "That's not what I said.", "Where is he?",
                "It's too late for that.", "Don't do this.", "Why would I lie to you?",
                "Give me a minute.", "I'm not going anywhere.", "Who else knows?",
                "You have to trust me.", "Keep your voice down.", "How long have you known?",
                "We're running out of time.", "Then what happened?", "Say that again.",
                "That's impossible.", "Not here. Not now.", "Look at me.",
            };
            return Pick(replies);
        }
        case 6: {
            static const char* const asks[] = {"Where were you", "What were you doing",
                                               "Why did you go back", "Who did you see",
                                               "How did you get in"};
            return std::string(Pick(asks)) + When() + "?";
        }
        case 7: {
            static const char* const counts[] = {"two", "three", "ten", "twenty", "a hundred"};
            static const char* const units[] = {"minutes", "hours", "days", "miles", "dollars"};
            static const char* const frames[] = {"We have %s %s left.", "It's only %s %s.",
                                                 "He wants %s %s by tonight.",
                                                 "Give me %s %s and I'll explain."};
            char text[96];
            std::snprintf(text, sizeof text, Pick(frames), Pick(counts), Pick(units));
            return text;
        }
        default: {
            static const char* const feelings[] = {"scared", "tired", "sorry", "angry",
                                                   "not sure", "glad you came"};
            static const char* const people[] = {"I'm", "We're", "She's", "He's", "They're"};
            return std::string(Pick(people)) + " " + Pick(feelings) + (FRnd.Chance(40) ? ", " + Name() : "") +
                   ".";
        }
        }
    }

    TSplitMix FRnd;
};

// Breaks a line longer than 42 characters into two at the space nearest its
// middle, as subtitles are laid out.
inline std::string TwoLines(const std::string& text) {
    if (text.size() <= 42)
        return text;
    size_t best = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == ' ' && (best == std::string::npos ||
                               (i > text.size() / 2 ? i - text.size() / 2 : text.size() / 2 - i) <
                                   (best > text.size() / 2 ? best - text.size() / 2
                                                           : text.size() / 2 - best)))
            best = i;
    if (best == std::string::npos)
        return text;
    return text.substr(0, best) + "\n" + text.substr(best + 1);
}

// `count` entries: busy scenes of 40 to 90 entries at 16 to 21 characters a
// second, with 40 to 160 ms between entries, and quiet passages of 10 to 30
// entries at 8 to 12 characters a second, with 1 to 5 s between them.
inline std::vector<TDenseEntry> DenseFilm(size_t count, uint64_t seed = 20261208) {
    TSplitMix rnd(seed);
    TDenseDialogue dialogue(seed ^ 0x5EED);
    std::vector<TDenseEntry> entries;
    int32_t at = 2000;
    bool busy = true;
    size_t left = 0;
    while (entries.size() < count) {
        if (left == 0) {
            busy = !busy || entries.empty();
            left = busy ? 40 + rnd.Below(51) : 10 + rnd.Below(21);
        }
        --left;
        const std::string text = dialogue.Line();
        const size_t cps = busy ? 16 + rnd.Below(6) : 8 + rnd.Below(5);
        const int32_t length = std::max<int32_t>(900, static_cast<int32_t>(text.size() * 1000 / cps));
        entries.push_back({at, at + length, TwoLines(text)});
        at += length + (busy ? 40 + static_cast<int32_t>(rnd.Below(121))
                             : 1000 + static_cast<int32_t>(rnd.Below(4001)));
    }
    return entries;
}

inline std::string SrtTime(int32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return text;
}

// The entries as a SubRip file with CR LF line ends.
inline std::string DenseFilmSrt(const std::vector<TDenseEntry>& entries) {
    std::string srt;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string text = entries[i].Text;
        if (const size_t nl = text.find('\n'); nl != std::string::npos)
            text.replace(nl, 1, "\r\n");
        srt += std::to_string(i + 1) + "\r\n" + SrtTime(entries[i].StartMs) + " --> " +
               SrtTime(entries[i].EndMs) + "\r\n" + text + "\r\n\r\n";
    }
    return srt;
}

} // namespace parlino::bench
