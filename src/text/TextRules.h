#pragma once
// The text rules engine: a dictionary is a list of lines, each a rewriting
// rule "pattern=replacement", applied to ANSI text in the system code page.
//
// Rule syntax, in short:
//   cat=dog        whole words, any case
//   $Cat=dog       whole words, exact case ("$$x" is a literal "$x", any case)
//   cat*=X         the match may end inside a word   ("**" at the end: literal "*")
//   *cat=X         the match may begin inside a word ("**" at the start: literal "*")
//   a===b          "==" is a literal "=": pattern "a=", replacement "b"
//   x=             deletes every whole word x
//   // text        a comment
// Word boundaries are the 24 delimiters of IsWordDelimiter. In a double-byte
// code page the engine works on whole characters (ITextCodec::LeadBytes): a
// match begins and ends between characters, and a trail byte that looks like
// a delimiter or a no-break space is part of its character. Rules are sorted
// with CompareRules before use: phrases (a space, "-" or apostrophe in the
// pattern) first, then by kind, then the longest pattern first.

#include "platform/ITextCodec.h"
#include "text/LoadTextFile.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace parlino {

// The pause mark a subtitle may carry, and the engine mark-up it becomes.
inline constexpr std::string_view PauseMark = "<#pau500>";
inline constexpr std::string_view PauseMarkup = ".\\PAU=500\\.";

// Rules that would make a text grow by more than this many bytes over its
// length before the rules stop the engine with an EParlinoError, so that a
// dictionary whose rules feed on each other (say a=a a, a hundred times)
// cannot exhaust memory. Real rules change a batch of subtitles by some
// kilobytes; a text that is long already is no error.
inline constexpr size_t MaxRulesGrowth = size_t{16} << 20;

struct TRuleParts {
    std::string Pattern;     // raw: markers still on
    std::string Replacement; // inserted as written
};

// Splits a dictionary line: every "==" (left to right, no overlap) is a
// literal "=", the first single "=" separates pattern and replacement. A line
// without a single "=" gives an empty pattern and replacement (not a rule).
TRuleParts SplitRule(std::string_view line);

// The sort class of a raw pattern: 1..8 for the marker forms ("$w" 1, "w" 2,
// "$w*" 3, "$*w" 4, "w*" 5, "*w" 6, "$*w*" 7, "*w*" 8); 100 less when the
// pattern holds a space, "-" or apostrophe; 2 for patterns under 2 bytes.
int RuleKind(std::string_view pattern);

// Negative when line i goes before line j, positive when after, 0 when they
// rank equal: the smaller kind first, then the longer raw pattern.
int CompareRules(const TStringList& rules, size_t i, size_t j);
int CompareRules(std::string_view lineI, std::string_view lineJ);

// Sorts the lines in place by CompareRules; lines that rank equal keep their
// file order, so the result is the same on every platform.
void SortRules(TStringList& rules);

// The 24 word delimiters: space . , ? ; : ' " ~ ! @ # % & * ( ) = + - | CR LF TAB.
bool IsWordDelimiter(char c);

// Every occurrence of `oldText` replaced by `newText`, exact case, left to
// right; inserted text is never searched again. An empty `oldText` changes
// nothing.
std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText);

// Applies one rule. Case-insensitive rules compare the upper case of the
// text and of the pattern (`codec.AnsiUpperCase`, the system code page).
// Throws EParlinoError when the rule would make the text grow by more than
// MaxRulesGrowth.
std::string ApplyRule(std::string_view text, std::string_view pattern, std::string_view replacement,
                      const ITextCodec& codec);

// Applies every rule of a sorted list in list order; each rule sees the
// output of the rules before it. No-break spaces (the character A0) become
// spaces, "<#pau500>" in the text becomes ".\PAU=500\." (the same mark put
// in by a replacement stays as written), and a text that is blank apart from
// such marks gives the empty text. Throws EParlinoError when the rules
// together would make the text grow by more than MaxRulesGrowth.
std::string ApplyRules(std::string_view text, const TStringList& rules, const ITextCodec& codec);

// A rule list prepared once for many texts: the lines are split, their
// markers taken off and their patterns upper-cased in advance, and rules
// whose pattern cannot occur in the text are skipped without a scan. Apply
// gives exactly what ApplyRules gives for the same list.
class TCompiledRules {
public:
    // `rules` in the order they are to apply (sorted); `codec` must outlive
    // this object.
    TCompiledRules(const TStringList& rules, const ITextCodec& codec);
    ~TCompiledRules();
    TCompiledRules(const TCompiledRules&) = delete;
    TCompiledRules& operator=(const TCompiledRules&) = delete;

    std::string Apply(std::string_view text) const;
    // Rules that can change a text (not comments, not equal sides, not empty).
    size_t ActiveCount() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace parlino
