// The whole clean-up and dictionary pass over a film-sized track with a large
// dictionary, as the main window runs it after loading a file, timed for the
// engine and for the plain step-by-step implementation the tests use as a
// yardstick; both must give the same texts.
//   dictionary_pass_bench [entries [rules [code page]]]

#include "../tests/text/ReferenceRules.h"
#include "FilmTextGenerator.h"
#include "platform/linux/TIconvCodec.h"
#include "text/ProcessSubtitles.h"
#include "text/TextRules.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace parlino;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The pass done the plain way: sort by CompareRules, batches of 201 texts.
void PlainPass(TslItems& items, TStringList rules, const ITextCodec& codec) {
    std::stable_sort(rules.begin(), rules.end(), [](const std::string& a, const std::string& b) {
        return CompareRules(a, b) < 0;
    });
    for (size_t first = 0; first < items.size(); first += ProcessBatchSize) {
        size_t count = std::min(ProcessBatchSize, items.size() - first);
        std::string text;
        for (size_t k = 0; k < count; ++k)
            text += items[first + k].SpeechText + "\r\n";
        text = RemoveStyleTags(test::RefApplyRules(text, rules, codec));
        TStringList lines;
        SplitLines(text, lines);
        for (size_t k = 0; k < count; ++k)
            items[first + k].SpeechText = k < lines.size() ? lines[k] : "";
    }
}

} // namespace

int main(int argc, char** argv) {
    size_t entries = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
    size_t ruleCount = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 5000;
    uint32_t codePage = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1252;
    TIconvCodec codec(codePage);

    const TslItems original = bench::FilmSubtitles(entries, 20240501);
    const TStringList dictionary = bench::FilmDictionary(ruleCount, 77);
    size_t bytes = 0;
    for (const TslItem& item : original)
        bytes += item.SpeechText.size();
    std::printf("entries %zu (%zu bytes of text), rules %zu, code page %u\n", original.size(),
                bytes, dictionary.size(), codePage);

    TslItems fast = original;
    TStringList rules = dictionary;
    auto started = std::chrono::steady_clock::now();
    ProcessSubtitles(fast, &rules, codec);
    std::printf("engine pass:        %.3f s\n", Seconds(started));

    TslItems plain = original;
    started = std::chrono::steady_clock::now();
    PlainPass(plain, dictionary, codec);
    std::printf("step-by-step pass:  %.3f s\n", Seconds(started));

    size_t differ = 0;
    for (size_t i = 0; i < fast.size(); ++i)
        differ += fast[i].SpeechText != plain[i].SpeechText;
    std::printf("texts that differ:  %zu\n", differ);
    return differ == 0 ? 0 : 1;
}
