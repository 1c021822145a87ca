// Dictionaries and the clean-up pass: the input is a dictionary, a zero
// byte, then subtitle lines. Checks that the prepared rules rewrite exactly
// as the plain engine does, that the sort is an order, and that the pass
// gives every entry its own text back.

#include "FuzzSupport.h"
#include "platform/Exceptions.h"
#include "text/ProcessSubtitles.h"
#include "text/TextRules.h"

#include <optional>

using namespace parlino;

namespace {

// The text the rules give, or nothing when the engine refused it.
template <typename Apply>
std::optional<std::string> Outcome(Apply apply) {
    try {
        return apply();
    } catch (const EParlinoError&) {
        return std::nullopt;
    }
}

void CheckSplit(const std::string& line) {
    const TRuleParts parts = SplitRule(line);
    FUZZ_CHECK(parts.Pattern.size() + parts.Replacement.size() <= line.size());
    if (line.find('=') == std::string::npos)
        FUZZ_CHECK(parts.Pattern.empty() && parts.Replacement.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input = fuzz::AsText(data, size);
    const size_t zero = input.find('\0');
    const std::string_view dictionary = input.substr(0, zero);
    const std::string_view subtitles =
        zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1);
    const ITextCodec& codec = fuzz::CodecFor(size); // Japanese: whole characters

    TStringList rules;
    DecodeTextBytes(rules, dictionary, codec); // as LoadDictionaryRules reads the file
    for (const std::string& rule : rules)
        CheckSplit(rule);
    SortRules(rules);
    for (size_t i = 1; i < rules.size(); ++i)
        FUZZ_CHECK(CompareRules(rules, i - 1, i) <= 0);

    TStringList lines;
    DecodeTextBytes(lines, subtitles, codec);
    TslItems items(1); // the leading entry
    for (std::string& line : lines) {
        TslItem& item = items.emplace_back();
        item.DisplayText = line;
        item.SpeechText = std::move(line);
    }

    // The batch text of the pass's first batch, through both engines.
    std::string batch;
    for (size_t i = 0; i < items.size() && i < ProcessBatchSize; ++i)
        batch += items[i].SpeechText + "\r\n";
    const TCompiledRules compiled(rules, codec);
    const auto fast = Outcome([&] { return compiled.Apply(batch); });
    const auto plain = Outcome([&] { return ApplyRules(batch, rules, codec); });
    FUZZ_CHECK(fast == plain);

    const TslItems before = items;
    try {
        ProcessSubtitles(items, &rules, codec);
    } catch (const EParlinoError&) {
        // Rules that grow the text without end; the entries done stay done.
    }
    FUZZ_CHECK(items.size() == before.size());
    for (size_t i = 0; i < items.size(); ++i) {
        FUZZ_CHECK(items[i].DisplayText == before[i].DisplayText);
        FUZZ_CHECK(items[i].SpeechText.find_first_of("\r\n") == std::string::npos);
    }
    return 0;
}
