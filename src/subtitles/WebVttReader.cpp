#include "subtitles/WebVttReader.h"

#include "subtitles/ReaderText.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace parlino {
namespace {

constexpr std::string_view Arrow = "-->";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// WebVTT's whitespace within a line.
bool IsVttBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f';
}

void SkipBlanks(std::string_view line, size_t& pos) {
    while (pos < line.size() && IsVttBlank(line[pos]))
        ++pos;
}

// The digits at `pos`; `value` is their number, saturated far above any time.
size_t CollectDigits(std::string_view line, size_t& pos, int64_t& value) {
    const size_t start = pos;
    value = 0;
    while (pos < line.size() && IsDigit(line[pos])) {
        if (value < 1000000000)
            value = value * 10 + (line[pos] - '0');
        ++pos;
    }
    return pos - start;
}

// A timestamp at `pos` as the WebVTT parser collects one: "mm:ss.ttt", or
// "h:mm:ss.ttt" with one or more digits of hours; minutes and seconds below
// 60. Nothing when it does not read or lies beyond the 32-bit milliseconds.
std::optional<int32_t> CollectTimestamp(std::string_view line, size_t& pos) {
    int64_t first = 0, second = 0, third = 0, fraction = 0;
    const size_t firstDigits = CollectDigits(line, pos, first);
    if (firstDigits == 0)
        return std::nullopt;
    const bool hours = firstDigits != 2 || first > 59;
    if (pos >= line.size() || line[pos] != ':')
        return std::nullopt;
    ++pos;
    if (CollectDigits(line, pos, second) != 2)
        return std::nullopt;
    int64_t h = 0, m = first, s = second;
    if (hours || (pos < line.size() && line[pos] == ':')) {
        if (pos >= line.size() || line[pos] != ':')
            return std::nullopt;
        ++pos;
        if (CollectDigits(line, pos, third) != 2)
            return std::nullopt;
        h = first;
        m = second;
        s = third;
    }
    if (pos >= line.size() || line[pos] != '.')
        return std::nullopt;
    ++pos;
    if (CollectDigits(line, pos, fraction) != 3)
        return std::nullopt;
    if (m > 59 || s > 59)
        return std::nullopt;
    const int64_t ms = h * 3600000 + m * 60000 + s * 1000 + fraction;
    if (ms > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(ms);
}

struct TTimings {
    int32_t StartMs = 0;
    int32_t EndMs = 0;
};

// "start --> end" with blanks allowed around the arrow; what follows the end
// (the cue settings) is not examined.
std::optional<TTimings> CollectTimings(std::string_view line) {
    size_t pos = 0;
    SkipBlanks(line, pos);
    const std::optional<int32_t> start = CollectTimestamp(line, pos);
    if (!start)
        return std::nullopt;
    SkipBlanks(line, pos);
    if (line.substr(pos, Arrow.size()) != Arrow)
        return std::nullopt;
    pos += Arrow.size();
    SkipBlanks(line, pos);
    const std::optional<int32_t> end = CollectTimestamp(line, pos);
    if (!end)
        return std::nullopt;
    return TTimings{*start, *end};
}

// "WEBVTT" alone, or followed by a space or tab and anything.
bool IsSignature(std::string_view line) {
    constexpr std::string_view Signature = "WEBVTT";
    if (line.substr(0, Signature.size()) != Signature)
        return false;
    return line.size() == Signature.size() || line[Signature.size()] == ' ' ||
           line[Signature.size()] == '\t';
}

bool HasArrow(std::string_view line) {
    return line.find(Arrow) != std::string_view::npos;
}

// The tag's name: after "<" or "</", up to a blank or a class dot.
std::string_view TagName(std::string_view tag) {
    if (!tag.empty() && tag.front() == '/')
        tag.remove_prefix(1);
    size_t end = 0;
    while (end < tag.size() && !IsVttBlank(tag[end]) && tag[end] != '.')
        ++end;
    return tag.substr(0, end);
}

struct TEntity {
    std::string_view Name;
    std::string_view Text;
};

// The character references WebVTT cue text uses. A no-break space is spoken
// as a space; the direction marks are not spoken.
constexpr TEntity Entities[] = {{"&amp;", "&"},  {"&lt;", "<"}, {"&gt;", ">"},
                                {"&nbsp;", " "}, {"&lrm;", ""}, {"&rlm;", ""}};

template <typename Lines>
void ReadVtt(const Lines& lines, TslItems& items, std::string* emptyReason) {
    items.clear();
    const size_t n = lines.size();
    if (n == 0 || !IsSignature(lines[0])) {
        if (emptyReason)
            *emptyReason =
                "It does not begin with the line \"WEBVTT\", so it is not a WebVTT file.";
        return;
    }
    // The header: up to the first empty line; a timing line ends it early.
    size_t i = 1;
    while (i < n && !std::string_view(lines[i]).empty() && !HasArrow(lines[i]))
        ++i;

    TslItems cues;
    while (i < n) {
        if (std::string_view(lines[i]).empty()) {
            ++i;
            continue;
        }
        // One block. A timing line is taken as the block's first or second
        // line only; a later one begins the next block.
        size_t lineCount = 0;
        bool seenArrow = false;
        std::optional<TTimings> timings;
        std::string text;
        size_t textLines = 0;
        while (i < n) {
            const std::string_view line = lines[i];
            ++lineCount;
            if (HasArrow(line)) {
                if (lineCount == 1 || (lineCount == 2 && !seenArrow)) {
                    seenArrow = true;
                    timings = CollectTimings(line);
                    text.clear(); // the identifier, if any
                    textLines = 0;
                    ++i;
                    continue;
                }
                break;
            }
            ++i;
            if (line.empty())
                break;
            if (textLines++ > 0)
                text += ' ';
            text += line;
        }
        if (!timings)
            continue;
        std::string speech = VttSpeechText(text);
        if (speech.empty())
            continue;
        cues.push_back(
            MakeEntry(timings->StartMs, timings->EndMs, std::move(text), std::move(speech)));
    }
    if (cues.empty()) {
        if (emptyReason)
            *emptyReason = "It holds no cue with text to speak.";
        return;
    }
    items.reserve(cues.size() + 1);
    items.emplace_back(); // the leading entry at time 0
    for (TslItem& cue : cues)
        items.push_back(std::move(cue));
}

} // namespace

std::string VttSpeechText(std::string_view cueText) {
    std::string out;
    out.reserve(cueText.size());
    int rubyTextDepth = 0; // inside <rt>: a reading aid, not spoken
    size_t i = 0;
    while (i < cueText.size()) {
        const char c = cueText[i];
        if (c == '<') {
            // A tag runs to '>' (or to the end of the text, as the WebVTT
            // tokenizer reads an unclosed one).
            const size_t close = cueText.find('>', i + 1);
            const std::string_view tag = cueText.substr(
                i + 1, close == std::string_view::npos ? std::string_view::npos : close - i - 1);
            const std::string_view name = TagName(tag);
            const bool endTag = !tag.empty() && tag.front() == '/';
            if (name == "rt")
                rubyTextDepth = endTag ? std::max(0, rubyTextDepth - 1) : rubyTextDepth + 1;
            else if (name == "ruby" && endTag)
                rubyTextDepth = 0;
            i = close == std::string_view::npos ? cueText.size() : close + 1;
            continue;
        }
        if (c == '&') {
            bool decoded = false;
            for (const TEntity& entity : Entities) {
                if (cueText.substr(i, entity.Name.size()) == entity.Name) {
                    if (rubyTextDepth == 0)
                        out += entity.Text;
                    i += entity.Name.size();
                    decoded = true;
                    break;
                }
            }
            if (decoded)
                continue;
        }
        if (rubyTextDepth == 0)
            out += c;
        ++i;
    }
    return CollapseBlanks(out);
}

void ReadVttLines(const std::vector<std::string_view>& lines, TslItems& items,
                  std::string* emptyReason) {
    ReadVtt(lines, items, emptyReason);
}

void ReadVttLines(const TStringList& lines, TslItems& items, std::string* emptyReason) {
    ReadVtt(lines, items, emptyReason);
}

void ReadVttFile(const std::string& fileName, TslItems& items, const ITextCodec& codec,
                 std::string* emptyReason) {
    items.clear();
    const std::string text = LoadTextFileText(fileName, codec);
    ReadVtt(SplitLineViews(text), items, emptyReason);
}

} // namespace parlino
