#include "text/TextRules.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace parlino {
namespace {

constexpr std::array<bool, 256> MakeDelimiterTable() {
    std::array<bool, 256> table{};
    for (unsigned char c : std::string_view(" .,?;:'\"~!@#%&*()=+-|\r\n\t"))
        table[c] = true;
    return table;
}
constexpr std::array<bool, 256> DelimiterTable = MakeDelimiterTable();

// A rule with its markers taken off.
struct TCompiledRule {
    std::string Pattern;      // markers off, as written
    std::string UpperPattern; // upper case of Pattern; used when !CaseSensitive
    std::string Replacement;
    std::string UpperReplacement; // only where upper case maps byte by byte
    bool CaseSensitive = false;
    bool CheckStart = true;
    bool CheckEnd = true;

    const std::string& SearchPattern() const { return CaseSensitive ? Pattern : UpperPattern; }
};

// Takes the markers off a raw pattern. False when the rule cannot change any
// text: equal sides, or nothing left once the markers are gone.
bool TakeMarkers(std::string_view raw, std::string_view replacement, TCompiledRule& rule) {
    if (raw == replacement)
        return false;
    std::string_view p = raw;
    rule.CaseSensitive = false;
    rule.CheckStart = true;
    rule.CheckEnd = true;
    if (!p.empty() && p.front() == '$') {
        p.remove_prefix(1);
        if (p.empty() || p.front() != '$')
            rule.CaseSensitive = true;
    }
    if (!p.empty() && p.front() == '*') {
        p.remove_prefix(1);
        if (p.empty() || p.front() != '*')
            rule.CheckStart = false;
    }
    if (!p.empty() && p.back() == '*') {
        p.remove_suffix(1);
        if (p.empty() || p.back() != '*')
            rule.CheckEnd = false;
    }
    if (p.empty())
        return false;
    rule.Pattern.assign(p);
    rule.Replacement.assign(replacement);
    return true;
}

// Upper case through the codec, which folds character by character and
// keeps the length: search and text stay aligned byte for byte.
std::string CodecUpperCase(const ITextCodec& codec, std::string_view text) {
    std::string upper = codec.AnsiUpperCase(text);
    if (upper.size() != text.size())
        throw std::logic_error("AnsiUpperCase changed the length of a text");
    return upper;
}

[[noreturn]] void ThrowTooLong() {
    throw EParlinoError("The dictionary would make the subtitle text grow by more than " +
                        std::to_string(MaxRulesGrowth >> 20) +
                        " MB: some of its rules keep feeding on each other's replacements.");
}

// Where the characters of a text in a double-byte code page begin: At(i)
// for i in 0..size (the end counts as a start). In single-byte code pages
// every byte is a character and no such map is made.
class TCharacterStarts {
public:
    void Mark(std::string_view text, const TLeadBytes& leadBytes) {
        FStarts.assign(text.size() + 1, 0);
        for (size_t i = 0; i < text.size(); i += AnsiCharLength(leadBytes, text, i))
            FStarts[i] = 1;
        FStarts[text.size()] = 1;
    }
    bool At(size_t i) const { return FStarts[i] != 0; }

private:
    std::vector<unsigned char> FStarts;
};

// The first occurrence of `pattern` in `text` at or after `from`.
size_t Find(std::string_view text, std::string_view pattern, size_t from) {
    if (from > text.size() || text.size() - from < pattern.size())
        return std::string_view::npos;
#ifdef _WIN32
    return text.find(pattern, from); // the C library has no memmem there
#else
    const void* at =
        ::memmem(text.data() + from, text.size() - from, pattern.data(), pattern.size());
    return at ? static_cast<size_t>(static_cast<const char*>(at) - text.data())
              : std::string_view::npos;
#endif
}

// The matching loop of one rule. `search` is the text itself or its upper
// case, of the same length. Instead of cutting the matched front off the
// texts, `base` marks where the remaining text begins: a match at `base`
// passes the start test, as it would at the start of the cut text.
// `starts` (null in single-byte code pages) tells where characters begin:
// a match must begin and end there, and only a character of its own can be
// a delimiter, never the trail byte of another.
// `onMatch(base, i)` is called for every accepted match at `i`; returns the
// base after the last accepted match, or npos when there was none.
template <typename OnMatch>
size_t ForEachMatch(std::string_view search, const TCompiledRule& rule,
                    const TCharacterStarts* starts, OnMatch onMatch) {
    const std::string& pattern = rule.SearchPattern();
    const size_t len = pattern.size();
    size_t base = 0, start = 0;
    bool replaced = false;
    for (;;) {
        size_t i = Find(search, pattern, start);
        if (i == std::string_view::npos)
            break;
        bool whole = !starts || (starts->At(i) && starts->At(i + len));
        // A delimiter byte is never a lead byte, so after the match it always
        // is a character of its own.
        bool startOk = !rule.CheckStart || i == base ||
                       ((!starts || starts->At(i - 1)) &&
                        DelimiterTable[static_cast<unsigned char>(search[i - 1])]);
        bool endOk = !rule.CheckEnd || i + len == search.size() ||
                     DelimiterTable[static_cast<unsigned char>(search[i + len])];
        if (whole && startOk && endOk) {
            onMatch(base, i);
            replaced = true;
            base = start = i + len;
        } else {
            start = i + 1; // a later occurrence may overlap the rejected one
        }
    }
    return replaced ? base : std::string_view::npos;
}

// Rules may make a text longer than it came by at most MaxRulesGrowth bytes.
void CheckLength(size_t length, size_t limit) {
    if (length > limit)
        ThrowTooLong();
}

size_t GrowthLimit(size_t length) {
    return length + MaxRulesGrowth;
}

bool HasLeadBytes(const TLeadBytes& leadBytes) {
    return std::find(leadBytes.begin(), leadBytes.end(), true) != leadBytes.end();
}

// Applies one rule to `work`, searching `search`. Returns false (and leaves
// `result` alone) when nothing was replaced.
bool ReplaceMatches(std::string_view work, std::string_view search, const TCompiledRule& rule,
                    const TCharacterStarts* starts, size_t limit, std::string& result) {
    bool first = true;
    size_t tail = ForEachMatch(search, rule, starts, [&](size_t base, size_t i) {
        if (first) {
            result.clear();
            result.reserve(work.size() + rule.Replacement.size());
            first = false;
        }
        CheckLength(result.size() + (i - base) + rule.Replacement.size(), limit);
        result.append(work.substr(base, i - base));
        result.append(rule.Replacement);
    });
    if (tail == std::string_view::npos)
        return false;
    result.append(work.substr(tail));
    return true;
}

bool IsBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

// The text before the rules: no-break spaces become spaces, pause marks a
// control character that no rule can match by accident. Empty when blank.
// In a double-byte code page the no-break space is the one-byte character
// A0, never the trail byte A0 of another character. Neither the mark nor
// its stand-in can begin or end inside a character: "<", ">" and 01 are
// below every trail byte and are no lead bytes.
std::string PrepareText(std::string_view text, const TLeadBytes* leadBytes) {
    std::string work(text);
    if (!leadBytes) {
        std::replace(work.begin(), work.end(), '\xA0', ' ');
    } else {
        for (size_t i = 0; i < work.size();) {
            size_t length = AnsiCharLength(*leadBytes, work, i);
            if (length == 1 && work[i] == '\xA0')
                work[i] = ' ';
            i += length;
        }
    }
    work = ReplaceAll(work, PauseMark, "\x01");
    if (IsBlank(work))
        work.clear();
    return work;
}

std::string FinishText(const std::string& text) {
    return ReplaceAll(text, "\x01", PauseMarkup);
}

// Code pages in which every character is one byte, so upper case maps byte
// by byte and can be tabulated.
bool IsSingleByteCodePage(uint32_t codePage) {
    switch (codePage) {
    case 437:
    case 737:
    case 775:
    case 850:
    case 852:
    case 855:
    case 857:
    case 858:
    case 860:
    case 861:
    case 862:
    case 863:
    case 864:
    case 865:
    case 866:
    case 869:
    case 874:
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
    case 10000:
    case 20127:
    case 20866:
    case 21866:
        return true;
    default:
        return codePage >= 28591 && codePage <= 28606;
    }
}

// Which byte pairs and bytes a text holds: a pattern with a pair or byte the
// text lacks cannot occur in it. The sets may hold more than the text has
// (never less), which only costs a search.
class TPairFilter {
public:
    void Build(std::string_view text) {
        FPairs.assign(FPairs.size(), 0);
        FBytes.fill(0);
        const auto* p = reinterpret_cast<const unsigned char*>(text.data());
        for (size_t k = 0; k < text.size(); ++k) {
            FBytes[p[k] >> 6] |= uint64_t{1} << (p[k] & 63);
            if (k + 1 < text.size()) {
                unsigned pair = (unsigned{p[k]} << 8) | p[k + 1];
                FPairs[pair >> 6] |= uint64_t{1} << (pair & 63);
            }
        }
    }
    // Adds what a piece of text holds, and the pair it forms with the byte
    // before it (`before` < 0: none).
    void Add(int before, std::string_view piece) {
        if (piece.empty())
            return;
        const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
        if (before >= 0)
            SetPair(static_cast<unsigned>(before), p[0]);
        for (size_t k = 0; k < piece.size(); ++k) {
            FBytes[p[k] >> 6] |= uint64_t{1} << (p[k] & 63);
            if (k + 1 < piece.size())
                SetPair(p[k], p[k + 1]);
        }
    }
    bool MayContain(std::string_view pattern) const {
        const auto* p = reinterpret_cast<const unsigned char*>(pattern.data());
        if (pattern.size() == 1)
            return (FBytes[p[0] >> 6] >> (p[0] & 63)) & 1;
        for (size_t k = 0; k + 1 < pattern.size(); ++k) {
            unsigned pair = (unsigned{p[k]} << 8) | p[k + 1];
            if (!((FPairs[pair >> 6] >> (pair & 63)) & 1))
                return false;
        }
        return true;
    }

private:
    void SetPair(unsigned a, unsigned b) {
        unsigned pair = (a << 8) | b;
        FPairs[pair >> 6] |= uint64_t{1} << (pair & 63);
    }
    std::vector<uint64_t> FPairs = std::vector<uint64_t>(65536 / 64);
    std::array<uint64_t, 4> FBytes{};
};

} // namespace

TRuleParts SplitRule(std::string_view line) {
    TRuleParts parts;
    std::string* out = &parts.Pattern;
    bool separated = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '=') {
            if (i + 1 < line.size() && line[i + 1] == '=') {
                out->push_back('=');
                ++i;
                continue;
            }
            if (!separated) {
                separated = true;
                out = &parts.Replacement;
                continue;
            }
        }
        out->push_back(c);
    }
    if (!separated)
        return {};
    return parts;
}

int RuleKind(std::string_view p) {
    const size_t n = p.size();
    if (n < 2)
        return 2;
    int k = 2;
    if (p[0] == '$' && p[1] != '$')
        k = 1;
    if (k == 1 && p[n - 1] == '*')
        k = 3;
    if (k == 3 && p[n - 2] == '*')
        k = 1;
    if (k == 1 && p[1] == '*')
        k = 4;
    if (k == 4 && n > 2 && p[2] == '*')
        k = 1;
    if (k == 2 && p[n - 1] == '*' && p[n - 2] != '*')
        k = 5;
    if (k == 2 && p[0] == '*' && p[1] != '*')
        k = 6;
    if (k == 3 && p[1] == '*' && n > 2 && p[2] != '*')
        k = 7;
    if (k == 5 && p[0] == '*' && p[1] != '*')
        k = 8;
    if (p.find_first_of(" -'") != std::string_view::npos)
        k -= 100;
    return k;
}

namespace {

struct TSortKey {
    int Kind;
    size_t Length;
};

TSortKey SortKey(std::string_view line) {
    TRuleParts parts = SplitRule(line);
    return {RuleKind(parts.Pattern), parts.Pattern.size()};
}

int CompareKeys(const TSortKey& a, const TSortKey& b) {
    if (a.Kind != b.Kind)
        return a.Kind < b.Kind ? -1 : 1;
    if (a.Length != b.Length)
        return a.Length > b.Length ? -1 : 1;
    return 0;
}

} // namespace

int CompareRules(std::string_view lineI, std::string_view lineJ) {
    return CompareKeys(SortKey(lineI), SortKey(lineJ));
}

int CompareRules(const TStringList& rules, size_t i, size_t j) {
    return CompareRules(rules.at(i), rules.at(j));
}

void SortRules(TStringList& rules) {
    // Each line is split once, not on every comparison: a dictionary may
    // hold very long lines.
    std::vector<TSortKey> keys;
    keys.reserve(rules.size());
    for (const std::string& line : rules)
        keys.push_back(SortKey(line));
    std::vector<size_t> order(rules.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return CompareKeys(keys[a], keys[b]) < 0; });
    TStringList sorted;
    sorted.reserve(rules.size());
    for (size_t index : order)
        sorted.push_back(std::move(rules[index]));
    rules = std::move(sorted);
}

bool IsWordDelimiter(char c) {
    return DelimiterTable[static_cast<unsigned char>(c)];
}

std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText) {
    if (oldText.empty())
        return std::string(text);
    std::string result;
    size_t from = 0;
    for (size_t at = text.find(oldText); at != std::string_view::npos;
         at = text.find(oldText, from)) {
        if (from == 0)
            result.reserve(text.size());
        result.append(text.substr(from, at - from));
        result.append(newText);
        from = at + oldText.size();
    }
    if (from == 0)
        return std::string(text);
    result.append(text.substr(from));
    return result;
}

std::string ApplyRule(std::string_view text, std::string_view pattern, std::string_view replacement,
                      const ITextCodec& codec) {
    TCompiledRule rule;
    if (!TakeMarkers(pattern, replacement, rule))
        return std::string(text);
    std::string upper;
    std::string_view search = text;
    if (!rule.CaseSensitive) {
        rule.UpperPattern = CodecUpperCase(codec, rule.Pattern);
        upper = CodecUpperCase(codec, text);
        search = upper;
    }
    const TLeadBytes leadBytes = codec.LeadBytes();
    std::optional<TCharacterStarts> starts;
    if (HasLeadBytes(leadBytes))
        starts.emplace().Mark(search, leadBytes);
    std::string result;
    if (!ReplaceMatches(text, search, rule, starts ? &*starts : nullptr, GrowthLimit(text.size()),
                        result))
        return std::string(text);
    return result;
}

std::string ApplyRules(std::string_view text, const TStringList& rules, const ITextCodec& codec) {
    return TCompiledRules(rules, codec).Apply(text);
}

// ---------------------------------------------------------------------------

struct TCompiledRules::TImpl {
    explicit TImpl(const ITextCodec& codec) : Codec(codec) {}

    const ITextCodec& Codec;
    std::vector<TCompiledRule> Rules;
    // Set in double-byte code pages, where matches keep to whole characters.
    std::optional<TLeadBytes> LeadBytes;
    // In single-byte code pages upper case maps byte by byte, so the upper
    // case of a rewritten text is made of the upper case of its pieces and
    // never has to be computed again.
    bool ByteTable = false;
    std::array<char, 256> UpperTable{};

    std::string Upper(std::string_view text) const {
        if (!ByteTable)
            return CodecUpperCase(Codec, text);
        std::string upper(text);
        for (char& c : upper)
            c = UpperTable[static_cast<unsigned char>(c)];
        return upper;
    }
    std::string ApplyByteTable(std::string work) const;
    std::string ApplyCodec(std::string work) const;
};

TCompiledRules::TCompiledRules(const TStringList& rules, const ITextCodec& codec)
    : FImpl(std::make_unique<TImpl>(codec)) {
    TImpl& impl = *FImpl;
    impl.ByteTable = IsSingleByteCodePage(codec.SystemCodePage());
    if (const TLeadBytes leadBytes = codec.LeadBytes(); HasLeadBytes(leadBytes))
        impl.LeadBytes = leadBytes;
    if (impl.ByteTable) {
        for (int b = 0; b < 256; ++b) {
            char c = static_cast<char>(b);
            std::string upper = codec.AnsiUpperCase(std::string_view(&c, 1));
            impl.UpperTable[static_cast<size_t>(b)] = upper.size() == 1 ? upper[0] : c;
        }
    }
    for (const std::string& line : rules) {
        TRuleParts parts = SplitRule(line);
        if (parts.Pattern.empty() || parts.Pattern.starts_with("//"))
            continue;
        TCompiledRule rule;
        if (!TakeMarkers(parts.Pattern, parts.Replacement, rule))
            continue;
        // Byte by byte, the upper pattern also filters exact-case rules.
        if (!rule.CaseSensitive || impl.ByteTable)
            rule.UpperPattern = impl.Upper(rule.Pattern);
        if (impl.ByteTable)
            rule.UpperReplacement = impl.Upper(rule.Replacement);
        impl.Rules.push_back(std::move(rule));
    }
}

TCompiledRules::~TCompiledRules() = default;

size_t TCompiledRules::ActiveCount() const {
    return FImpl->Rules.size();
}

std::string TCompiledRules::Apply(std::string_view text) const {
    std::string work = PrepareText(text, FImpl->LeadBytes ? &*FImpl->LeadBytes : nullptr);
    if (work.empty())
        return work;
    return FinishText(FImpl->ByteTable ? FImpl->ApplyByteTable(std::move(work))
                                       : FImpl->ApplyCodec(std::move(work)));
}

std::string TCompiledRules::TImpl::ApplyByteTable(std::string work) const {
    // The text and its upper case are rewritten together. One filter over
    // the upper case serves both kinds of rule: an exact-case occurrence is
    // also one of the upper pattern in the upper text. After a rewrite the
    // filter learns the new pairs, and is built afresh now and then so that
    // pairs which have gone do not pile up.
    constexpr int RebuildAfter = 32;
    const size_t limit = GrowthLimit(work.size());
    std::string upper = Upper(work);
    TPairFilter filter;
    filter.Build(upper);
    int rewrites = 0;
    std::string newWork, newUpper;
    for (const TCompiledRule& rule : Rules) {
        if (!filter.MayContain(rule.UpperPattern))
            continue;
        bool first = true;
        // A piece of the old text brings only the pair at its junction; the
        // replacement brings all its pairs the first time.
        bool replacementLearnt = false;
        auto append = [&](std::string_view piece, std::string_view upperPiece, bool replacement) {
            int before = newUpper.empty() ? -1 : static_cast<unsigned char>(newUpper.back());
            if (replacement && !replacementLearnt) {
                filter.Add(before, upperPiece);
                replacementLearnt = true;
            } else {
                filter.Add(before, upperPiece.substr(0, 1));
            }
            newWork.append(piece);
            newUpper.append(upperPiece);
        };
        size_t tail =
            ForEachMatch(rule.CaseSensitive ? work : upper, rule, nullptr, [&](size_t base, size_t i) {
                if (first) {
                    newWork.clear();
                    newUpper.clear();
                    newWork.reserve(work.size() + rule.Replacement.size());
                    newUpper.reserve(work.size() + rule.Replacement.size());
                    first = false;
                }
                CheckLength(newWork.size() + (i - base) + rule.Replacement.size(), limit);
                append(std::string_view(work).substr(base, i - base),
                       std::string_view(upper).substr(base, i - base), false);
                append(rule.Replacement, rule.UpperReplacement, true);
            });
        if (tail == std::string::npos)
            continue;
        append(std::string_view(work).substr(tail), std::string_view(upper).substr(tail), false);
        work.swap(newWork);
        upper.swap(newUpper);
        if (++rewrites == RebuildAfter) {
            filter.Build(upper);
            rewrites = 0;
        }
    }
    return work;
}

std::string TCompiledRules::TImpl::ApplyCodec(std::string work) const {
    // Upper case may change more than one byte at a time here: it is made
    // afresh after every rewrite, and only when a case-insensitive rule
    // needs it. Most rules leave the text as it is. So are the character
    // starts of a double-byte code page; upper case keeps the length of
    // every character, so they serve the text and its upper case alike.
    const size_t limit = GrowthLimit(work.size());
    std::string upper;
    bool upperValid = false;
    TCharacterStarts starts;
    bool startsValid = false;
    TPairFilter workFilter, upperFilter;
    bool workFilterValid = false, upperFilterValid = false;
    std::string result;
    for (const TCompiledRule& rule : Rules) {
        std::string_view search;
        if (rule.CaseSensitive) {
            if (!workFilterValid) {
                workFilter.Build(work);
                workFilterValid = true;
            }
            if (!workFilter.MayContain(rule.Pattern))
                continue;
            search = work;
        } else {
            if (!upperValid) {
                upper = Upper(work);
                upperValid = true;
            }
            if (!upperFilterValid) {
                upperFilter.Build(upper);
                upperFilterValid = true;
            }
            if (!upperFilter.MayContain(rule.UpperPattern))
                continue;
            search = upper;
        }
        if (LeadBytes && !startsValid) {
            starts.Mark(work, *LeadBytes);
            startsValid = true;
        }
        if (ReplaceMatches(work, search, rule, LeadBytes ? &starts : nullptr, limit, result)) {
            work.swap(result);
            upperValid = workFilterValid = upperFilterValid = startsValid = false;
        }
    }
    return work;
}

} // namespace parlino
