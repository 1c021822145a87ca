#pragma once
// A plain implementation of the rules engine, step by step and without any
// shortcut: every line split anew for every text, the whole text upper-cased
// through the codec for every rule, the matched front really cut off the
// texts. Slow; it is the yardstick the fast engine is compared with.

#include "platform/ITextCodec.h"
#include "text/LoadTextFile.h"

#include <string>
#include <string_view>

namespace parlino::test {

inline bool RefIsDelimiter(char c) {
    return std::string_view(" .,?;:'\"~!@#%&*()=+-|\r\n\t").find(c) != std::string_view::npos;
}

inline std::string RefCollapse(std::string_view s) {
    std::string out;
    for (size_t k = 0; k < s.size(); ++k) {
        out += s[k];
        if (s[k] == '=' && k + 1 < s.size() && s[k + 1] == '=')
            ++k;
    }
    return out;
}

// Pattern and replacement; both empty when the line holds no single "=".
inline std::pair<std::string, std::string> RefSplitRule(std::string_view line) {
    for (size_t k = 0; k < line.size(); ++k) {
        if (line[k] != '=')
            continue;
        if (k + 1 < line.size() && line[k + 1] == '=') {
            ++k;
            continue;
        }
        return {RefCollapse(line.substr(0, k)), RefCollapse(line.substr(k + 1))};
    }
    return {};
}

inline std::string RefReplaceAll(std::string text, const std::string& oldText,
                                 const std::string& newText) {
    std::string result;
    for (;;) {
        size_t at = text.find(oldText);
        if (at == std::string::npos)
            return result + text;
        result += text.substr(0, at) + newText;
        text.erase(0, at + oldText.size());
    }
}

inline std::string RefApplyRule(const std::string& text, std::string pattern,
                                const std::string& replacement, const ITextCodec& codec) {
    if (pattern == replacement)
        return text;
    bool caseSensitive = false, checkStart = true, checkEnd = true;
    if (!pattern.empty() && pattern[0] == '$') {
        pattern.erase(0, 1);
        if (pattern.empty() || pattern[0] != '$')
            caseSensitive = true;
    }
    if (!pattern.empty() && pattern[0] == '*') {
        pattern.erase(0, 1);
        if (pattern.empty() || pattern[0] != '*')
            checkStart = false;
    }
    if (!pattern.empty() && pattern.back() == '*') {
        pattern.pop_back();
        if (pattern.empty() || pattern.back() != '*')
            checkEnd = false;
    }
    if (pattern.empty())
        return text;
    std::string work = text, search = text;
    if (!caseSensitive) {
        search = codec.AnsiUpperCase(work);
        pattern = codec.AnsiUpperCase(pattern);
    }
    std::string result;
    size_t start = 1; // positions count from 1, as in the description of the steps
    const size_t len = pattern.size();
    for (;;) {
        size_t found = search.find(pattern, start - 1);
        if (found == std::string::npos)
            return result + work;
        size_t i = found + 1;
        bool startOk = !checkStart || i == 1 || RefIsDelimiter(search[i - 2]);
        bool endOk =
            !checkEnd || i + len - 1 == search.size() || RefIsDelimiter(search[i + len - 1]);
        if (startOk && endOk) {
            result += work.substr(0, i - 1) + replacement;
            work.erase(0, i + len - 1);
            search.erase(0, i + len - 1);
            start = 1;
        } else {
            start = i + 1;
        }
    }
}

// `rules` already sorted.
inline std::string RefApplyRules(std::string text, const TStringList& rules,
                                 const ITextCodec& codec) {
    for (char& c : text)
        if (c == '\xA0')
            c = ' ';
    text = RefReplaceAll(text, "<#pau500>", "\x01");
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
        --last;
    if (first == last)
        return {};
    for (const std::string& line : rules) {
        auto [pattern, replacement] = RefSplitRule(line);
        if (pattern.empty() || pattern.rfind("//", 0) == 0)
            continue;
        text = RefApplyRule(text, pattern, replacement, codec);
    }
    return RefReplaceAll(text, "\x01", ".\\PAU=500\\.");
}

} // namespace parlino::test
