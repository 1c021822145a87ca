#include "text/ProcessSubtitles.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace parlino {
namespace {

bool EqualsIgnoringAsciiCase(std::string_view text, size_t at, std::string_view lowerTag) {
    if (text.size() - at < lowerTag.size())
        return false;
    for (size_t k = 0; k < lowerTag.size(); ++k) {
        char c = text[at + k];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerTag[k])
            return false;
    }
    return true;
}

// One left-to-right pass: text that comes together when a tag is taken out
// is not looked at again.
std::string RemoveTag(std::string_view text, std::string_view lowerTag) {
    std::string result;
    result.reserve(text.size());
    size_t k = 0;
    while (k < text.size()) {
        if (text[k] == '<' && EqualsIgnoringAsciiCase(text, k, lowerTag)) {
            k += lowerTag.size();
        } else {
            result.push_back(text[k++]);
        }
    }
    return result;
}

// An entry's text as one line of the batch text.
std::string AsOneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }, ' ');
    return text;
}

class TProgressGuard {
public:
    explicit TProgressGuard(IProcessProgress* progress) : FProgress(progress) {}
    ~TProgressGuard() {
        if (FProgress)
            FProgress->End();
    }
    TProgressGuard(const TProgressGuard&) = delete;
    TProgressGuard& operator=(const TProgressGuard&) = delete;

private:
    IProcessProgress* FProgress;
};

} // namespace

std::string RemoveStyleTags(std::string_view text) {
    std::string result = RemoveTag(text, "<i>");
    result = RemoveTag(result, "</i>");
    result = RemoveTag(result, "<b>");
    return RemoveTag(result, "</b>");
}

void ProcessBatch(TStringList& batch, TslItems& items, size_t& writePosition,
                  const TCompiledRules* rules) {
    if (batch.empty())
        return;
    std::string text;
    size_t size = 0;
    for (const std::string& line : batch)
        size += line.size() + 2;
    text.reserve(size);
    for (const std::string& line : batch) {
        text += line;
        text += "\r\n";
    }
    if (rules)
        text = rules->Apply(text);
    text = RemoveStyleTags(text);
    TStringList lines;
    SplitLines(text, lines);
    // No rule can put in or take out a line break, so a text that is not
    // empty has exactly one line per entry; an emptied blank batch has none.
    for (size_t k = 0; k < batch.size(); ++k) {
        if (writePosition < items.size())
            items[writePosition].SpeechText =
                k < lines.size() ? std::move(lines[k]) : std::string();
        ++writePosition;
    }
    batch.clear();
}

void ProcessSubtitles(TslItems& items, TStringList* rules, const ITextCodec& codec,
                      IProcessProgress* progress) {
    if (items.empty())
        throw EParlinoError(std::string(NoSubtitlesMessage));
    TProgressGuard guard(progress);
    if (progress)
        progress->Begin(static_cast<int>(items.size() - 1));

    std::optional<TCompiledRules> compiled;
    if (rules) {
        SortRules(*rules);
        compiled.emplace(*rules, codec);
    }
    const TCompiledRules* engine = compiled ? &*compiled : nullptr;

    TStringList batch;
    batch.reserve(ProcessBatchSize);
    size_t writePosition = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (progress)
            progress->Step(static_cast<int>(i));
        batch.push_back(AsOneLine(items[i].SpeechText));
        if (batch.size() == ProcessBatchSize)
            ProcessBatch(batch, items, writePosition, engine);
    }
    ProcessBatch(batch, items, writePosition, engine);
}

std::string DictionaryFolder(const std::string& programFolder) {
    std::string base = programFolder;
    if (base.empty() || base.back() != '/')
        base += '/';
    std::error_code error;
    if (std::filesystem::is_directory(base + "Dic", error))
        return base + "Dic";
    return base;
}

std::optional<TStringList> LoadDictionaryRules(const std::string& folder, const std::string& name,
                                               const ITextCodec& codec) {
    if (name.empty())
        return std::nullopt;
    std::string path = folder;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    // Only a regular file (or a link to one) counts: a folder or a pipe of
    // that name is no dictionary, and reading a pipe could block.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    TStringList lines;
    LoadTextFile(lines, path, codec);
    return lines;
}

} // namespace parlino
