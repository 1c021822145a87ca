#pragma once
// A plain implementation of the rules engine, step by step and without any
// shortcut: every line split anew for every text, the text taken apart into
// its characters and matched character by character, each character
// upper-cased on its own through the codec's conversions, the matched front
// really cut off the texts. Slow; it is the yardstick the fast engine is
// compared with.

#include "platform/ITextCodec.h"
#include "text/LoadTextFile.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cwctype>
#include <locale.h>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parlino::test {

// A text as its characters: a one-byte character is its byte, a two-byte
// character 0x10000 + lead byte * 256 + trail byte.
using TRefCharacters = std::vector<uint32_t>;

inline uint32_t RefCharacter(std::string_view bytes) {
    auto byte = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[k])); };
    return bytes.size() == 1 ? byte(0) : 0x10000 + byte(0) * 256 + byte(1);
}

inline std::string RefBytes(uint32_t character) {
    if (character < 0x100)
        return std::string(1, static_cast<char>(character));
    return {static_cast<char>((character >> 8) & 0xFF), static_cast<char>(character & 0xFF)};
}

inline bool RefIsDelimiter(char c) {
    return std::string_view(" .,?;:'\"~!@#%&*()=+-|\r\n\t").find(c) != std::string_view::npos;
}

// Only a character of one byte can be a delimiter.
inline bool RefIsDelimiter(uint32_t character) {
    return character < 0x100 && RefIsDelimiter(static_cast<char>(character));
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

inline std::string RefJoin(TRefCharacters::const_iterator from, TRefCharacters::const_iterator to) {
    std::string text;
    text.reserve(static_cast<size_t>(to - from) * 2);
    for (; from != to; ++from) {
        if (*from >= 0x100)
            text.push_back(static_cast<char>((*from >> 8) & 0xFF));
        text.push_back(static_cast<char>(*from & 0xFF));
    }
    return text;
}

// Every occurrence of `oldText` replaced by `newText`, character by
// character, left to right.
inline TRefCharacters RefReplaceAll(TRefCharacters text, const TRefCharacters& oldText,
                                    const TRefCharacters& newText) {
    TRefCharacters result;
    for (;;) {
        auto at = std::search(text.begin(), text.end(), oldText.begin(), oldText.end());
        if (at == text.end()) {
            result.insert(result.end(), text.begin(), text.end());
            return result;
        }
        result.insert(result.end(), text.begin(), at);
        result.insert(result.end(), newText.begin(), newText.end());
        text.erase(text.begin(), at + static_cast<std::ptrdiff_t>(oldText.size()));
    }
}

class TRefEngine {
public:
    explicit TRefEngine(const ITextCodec& codec) : FCodec(codec), FLeadBytes(codec.LeadBytes()) {}

    // The characters of `text`: in a double-byte code page a lead byte and a
    // trail byte after it (MinTrailByte and up) are one character.
    TRefCharacters Characters(std::string_view text) const {
        TRefCharacters characters;
        size_t k = 0;
        while (k < text.size()) {
            bool pair = FLeadBytes[static_cast<unsigned char>(text[k])] && k + 1 < text.size() &&
                        static_cast<unsigned char>(text[k + 1]) >= MinTrailByte;
            size_t length = pair ? 2 : 1;
            characters.push_back(RefCharacter(text.substr(k, length)));
            k += length;
        }
        return characters;
    }

    // The upper case of one character: to wide text, upper case, and back;
    // the character's own bytes when that gives no single character of the
    // same length.
    uint32_t Upper(uint32_t character) {
        if (character >= 'a' && character <= 'z')
            return character - 'a' + 'A';
        if (character < 0x80)
            return character;
        auto known = FUpper.find(character);
        if (known != FUpper.end())
            return known->second;
        uint32_t upper = character;
        const std::string bytes = RefBytes(character);
        WideString wide = FCodec.ToWide(bytes);
        if (wide.size() == 1 && wide[0] != u'\uFFFD') {
            static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
            wint_t up = towupper_l(wide[0], utf8);
            if (up != wide[0] && up <= 0xFFFF) {
                std::string back = FCodec.ToAnsi(std::u16string(1, static_cast<char16_t>(up)));
                if (back.size() == bytes.size() && back != "?" && Characters(back).size() == 1)
                    upper = RefCharacter(back);
            }
        }
        FUpper.emplace(character, upper);
        return upper;
    }

    TRefCharacters Upper(TRefCharacters characters) {
        for (uint32_t& character : characters)
            character = Upper(character);
        return characters;
    }

    // A text, its characters, and their upper case once a rule needs it.
    struct TText {
        std::string Bytes;
        TRefCharacters Work;
        std::string UpperBytes;
        TRefCharacters Upper;
        bool UpperMade = false;
    };

    TText Text(std::string bytes) {
        TText text;
        text.Work = Characters(bytes);
        text.Bytes = std::move(bytes);
        return text;
    }

    // One rule on a text. False when nothing was replaced; otherwise `text`
    // is the new text, taken apart anew (a replacement may end in a lead
    // byte that pairs with what follows).
    bool ApplyRule(TText& text, std::string pattern, const std::string& replacement) {
        if (pattern == replacement)
            return false;
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
            return false;
        TRefCharacters find = Characters(pattern);
        if (!caseSensitive) {
            if (!text.UpperMade) {
                text.Upper = Upper(text.Work);
                text.UpperBytes = RefJoin(text.Upper.begin(), text.Upper.end());
                text.UpperMade = true;
            }
            find = Upper(find);
        }
        const TRefCharacters& whole = caseSensitive ? text.Work : text.Upper;
        // Characters that match are bytes that match: without the bytes
        // there is nothing to look for.
        if ((caseSensitive ? text.Bytes : text.UpperBytes).find(RefJoin(find.begin(), find.end())) ==
            std::string::npos)
            return false;
        TRefCharacters rest = text.Work;
        TRefCharacters search(whole.begin(), whole.end());
        TRefCharacters result;
        const TRefCharacters inserted = Characters(replacement);
        bool replaced = false;
        size_t start = 1; // positions count from 1, as in the description of the steps
        const size_t len = find.size();
        for (;;) {
            auto found = std::search(search.begin() + static_cast<std::ptrdiff_t>(start - 1),
                                     search.end(), find.begin(), find.end());
            if (found == search.end())
                break;
            size_t i = static_cast<size_t>(found - search.begin()) + 1;
            bool startOk = !checkStart || i == 1 || RefIsDelimiter(search[i - 2]);
            bool endOk =
                !checkEnd || i + len - 1 == search.size() || RefIsDelimiter(search[i + len - 1]);
            if (startOk && endOk) {
                result.insert(result.end(), rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(i - 1));
                result.insert(result.end(), inserted.begin(), inserted.end());
                auto cut = static_cast<std::ptrdiff_t>(i + len - 1);
                rest.erase(rest.begin(), rest.begin() + cut);
                search.erase(search.begin(), search.begin() + cut);
                replaced = true;
                start = 1;
            } else {
                start = i + 1;
            }
        }
        if (!replaced)
            return false;
        result.insert(result.end(), rest.begin(), rest.end());
        text = Text(RefJoin(result.begin(), result.end()));
        return true;
    }

    std::string ApplyRule(const std::string& bytes, const std::string& pattern,
                          const std::string& replacement) {
        TText text = Text(bytes);
        ApplyRule(text, pattern, replacement);
        return text.Bytes;
    }

    // `rules` already sorted.
    std::string ApplyRules(const std::string& input, const TStringList& rules) {
        TRefCharacters work = Characters(input);
        for (uint32_t& character : work)
            if (character == 0xA0)
                character = ' ';
        work = RefReplaceAll(work, Characters("<#pau500>"), {1});
        if (std::all_of(work.begin(), work.end(), [](uint32_t character) { return character <= ' '; }))
            return {};
        TText text = Text(RefJoin(work.begin(), work.end()));
        for (const std::string& line : rules) {
            auto [pattern, replacement] = RefSplitRule(line);
            if (pattern.empty() || pattern.rfind("//", 0) == 0)
                continue;
            ApplyRule(text, pattern, replacement);
        }
        work = RefReplaceAll(text.Work, {1}, Characters(".\\PAU=500\\."));
        return RefJoin(work.begin(), work.end());
    }

private:
    const ITextCodec& FCodec;
    TLeadBytes FLeadBytes;
    std::map<uint32_t, uint32_t> FUpper;
};

inline std::string RefApplyRule(const std::string& text, const std::string& pattern,
                                const std::string& replacement, const ITextCodec& codec) {
    return TRefEngine(codec).ApplyRule(text, pattern, replacement);
}

inline std::string RefApplyRules(const std::string& text, const TStringList& rules,
                                 const ITextCodec& codec) {
    return TRefEngine(codec).ApplyRules(text, rules);
}

} // namespace parlino::test
