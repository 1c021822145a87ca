#include "subtitles/AssReader.h"
#include "text/Blanks.h"

#include "subtitles/ReaderText.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <unordered_set>

namespace parlino {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t k = 0; k < a.size(); ++k) {
        char x = a[k], y = b[k];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Where the fields of an event line are: their number and the places of
// Start, End and Text.
struct TEventFormat {
    size_t Count = 10;
    size_t Start = 1;
    size_t End = 2;
    size_t Text = 9;
};

// The fields a "Format:" line names; nothing when it lacks Start, End or Text.
std::optional<TEventFormat> ReadFormat(std::string_view value) {
    TEventFormat format;
    bool start = false, end = false, text = false;
    size_t index = 0;
    while (true) {
        const size_t comma = value.find(',');
        const std::string_view name = TrimBlanks(value.substr(0, comma));
        if (EqualsIgnoringCase(name, "Start")) {
            format.Start = index;
            start = true;
        } else if (EqualsIgnoringCase(name, "End")) {
            format.End = index;
            end = true;
        } else if (EqualsIgnoringCase(name, "Text")) {
            format.Text = index;
            text = true;
        }
        ++index;
        if (comma == std::string_view::npos)
            break;
        value.remove_prefix(comma + 1);
    }
    if (!start || !end || !text)
        return std::nullopt;
    format.Count = index;
    return format;
}

// Reads the value of a "\p" tag at `pos` (after the "p") and sets `drawing`;
// "\pos" and "\pbo" are other tags and change nothing.
void ReadDrawingTag(std::string_view block, size_t& pos, bool& drawing) {
    if (pos < block.size() && IsLetter(block[pos]))
        return;
    while (pos < block.size() && IsBlank(block[pos]))
        ++pos;
    bool negative = false;
    if (pos < block.size() && (block[pos] == '+' || block[pos] == '-'))
        negative = block[pos++] == '-';
    int64_t value = 0;
    while (pos < block.size() && IsDigit(block[pos])) {
        if (value < 1000000)
            value = value * 10 + (block[pos] - '0');
        ++pos;
    }
    drawing = !negative && value > 0;
}

// The drawing mode after the override block `block` (the text between
// '{' and '}').
void ApplyOverrides(std::string_view block, const TLeadBytes& leadBytes, bool& drawing) {
    size_t pos = 0;
    while (pos < block.size()) {
        if (block[pos] == '\\' && pos + 1 < block.size() && block[pos + 1] == 'p') {
            pos += 2;
            ReadDrawingTag(block, pos, drawing);
            continue;
        }
        pos += AnsiCharLength(leadBytes, block, pos);
    }
}

// The Start, End and Text of a Dialogue line's value; nothing when it has
// fewer fields than the format names or a time does not read.
struct TDialogue {
    int32_t StartMs = 0;
    int32_t EndMs = 0;
    std::string_view Text;
};

std::optional<TDialogue> ReadDialogue(std::string_view value, const TEventFormat& format) {
    while (!value.empty() && IsBlank(value.front()))
        value.remove_prefix(1);
    int64_t start = -1, end = -1;
    std::string_view text;
    for (size_t index = 0; index < format.Count; ++index) {
        std::string_view field = value;
        if (index + 1 < format.Count) {
            const size_t comma = value.find(',');
            if (comma == std::string_view::npos)
                return std::nullopt;
            field = value.substr(0, comma);
            value.remove_prefix(comma + 1);
        }
        if (index == format.Start)
            start = AssTimeMs(field);
        if (index == format.End)
            end = AssTimeMs(field);
        if (index == format.Text)
            text = field;
    }
    if (start < 0 || end < 0)
        return std::nullopt;
    return TDialogue{static_cast<int32_t>(start), static_cast<int32_t>(end), text};
}

// Moves `events` (ordered by start) to `items`, after the leading entry,
// keeping the first of each text among the events that start together.
void KeepOnePerTextAndStart(TslItems& events, TslItems& items) {
    items.clear();
    items.reserve(events.size() + 1); // no reallocation: `seen` points into items
    items.emplace_back();
    size_t group = 0;
    while (group < events.size()) {
        size_t groupEnd = group + 1;
        while (groupEnd < events.size() && events[groupEnd].StartMs == events[group].StartMs)
            ++groupEnd;
        const size_t firstKept = items.size();
        std::unordered_set<std::string_view> seen;
        const bool useSet = groupEnd - group > 16;
        for (size_t k = group; k < groupEnd; ++k) {
            const std::string_view speech = events[k].SpeechText;
            bool repeated;
            if (useSet) {
                repeated = seen.count(speech) != 0;
            } else {
                repeated =
                    std::any_of(items.begin() + static_cast<ptrdiff_t>(firstKept), items.end(),
                                [&](const TslItem& kept) { return kept.SpeechText == speech; });
            }
            if (repeated)
                continue;
            items.push_back(std::move(events[k]));
            if (useSet)
                seen.insert(items.back().SpeechText);
        }
        group = groupEnd;
    }
}

template <typename Lines>
void ReadAss(const Lines& lines, TslItems& items, const TLeadBytes& leadBytes,
             std::string* emptyReason) {
    items.clear();
    bool inEvents = false, sawEvents = false;
    TEventFormat format;
    TslItems events;
    for (const std::string_view rawLine : lines) {
        const std::string_view line = TrimBlanks(rawLine);
        if (line.empty())
            continue;
        if (line.front() == '[' && line.back() == ']') {
            inEvents = EqualsIgnoringCase(line, "[Events]");
            sawEvents = sawEvents || inEvents;
            continue;
        }
        if (!inEvents)
            continue;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = TrimBlanks(line.substr(0, colon));
        // The Text field keeps its own trailing blanks.
        const std::string_view value = rawLine.substr(rawLine.find(':') + 1);
        if (EqualsIgnoringCase(key, "Format")) {
            if (const std::optional<TEventFormat> read = ReadFormat(value))
                format = *read;
            continue;
        }
        if (!EqualsIgnoringCase(key, "Dialogue"))
            continue; // Comment, Picture, Sound, Movie, Command
        const std::optional<TDialogue> dialogue = ReadDialogue(value, format);
        if (!dialogue)
            continue;
        std::string speech = AssSpeechText(dialogue->Text, leadBytes);
        if (speech.empty())
            continue;
        events.push_back(MakeEntry(dialogue->StartMs, dialogue->EndMs, std::string(dialogue->Text),
                                   std::move(speech)));
    }
    if (events.empty()) {
        if (emptyReason)
            *emptyReason = sawEvents
                               ? "Its [Events] section holds no Dialogue line with text to speak."
                               : "It has no [Events] section, so it is not an ASS/SSA file.";
        return;
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const TslItem& a, const TslItem& b) { return a.StartMs < b.StartMs; });
    KeepOnePerTextAndStart(events, items);
}

} // namespace

int64_t AssTimeMs(std::string_view field) {
    field = TrimBlanks(field);
    int64_t parts[3] = {0, 0, 0};
    size_t pos = 0;
    for (int part = 0; part < 3; ++part) {
        if (part > 0) {
            if (pos >= field.size() || field[pos] != ':')
                return -1;
            ++pos;
        }
        const size_t start = pos;
        while (pos < field.size() && IsDigit(field[pos])) {
            if (parts[part] < 1000000000)
                parts[part] = parts[part] * 10 + (field[pos] - '0');
            ++pos;
        }
        if (pos == start)
            return -1;
    }
    int64_t ms = 0;
    if (pos < field.size() && field[pos] == '.') {
        ++pos;
        int64_t scale = 100;
        while (pos < field.size() && IsDigit(field[pos])) {
            ms += (field[pos] - '0') * scale;
            scale /= 10;
            ++pos;
        }
    }
    if (pos != field.size())
        return -1;
    const int64_t total = parts[0] * 3600000 + parts[1] * 60000 + parts[2] * 1000 + ms;
    return total > INT32_MAX ? -1 : total;
}

std::string AssSpeechText(std::string_view text, const TLeadBytes& leadBytes) {
    std::string out;
    out.reserve(text.size());
    bool drawing = false;
    size_t i = 0;
    size_t run = 0; // the plain text from here to i is copied in one piece
    // `close` is the first '}' after the last '{' searched from, or the end
    // of the text; the text up to `searched` holds no other. The search and
    // the main loop step by the same whole characters, so a later '{' before
    // it would find the same '}', and the '{' that no '}' closes are text
    // without a search each: linear time, however many '{' a line holds.
    size_t close = 0, searched = 0;
    const auto flush = [&](size_t upTo) {
        if (!drawing && upTo > run)
            out.append(text.data() + run, upTo - run);
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '{') {
            if (searched <= i) {
                close = i + 1;
                while (close < text.size() && text[close] != '}')
                    close += AnsiCharLength(leadBytes, text, close);
                searched = close < text.size() ? close + 1 : text.size();
            }
            if (close < text.size()) {
                flush(i);
                ApplyOverrides(text.substr(i + 1, close - i - 1), leadBytes, drawing);
                i = run = close + 1;
                continue;
            }
            // A '{' that no '}' closes is text.
        } else if (c == '\\' && i + 1 < text.size() &&
                   (text[i + 1] == 'N' || text[i + 1] == 'n' || text[i + 1] == 'h')) {
            flush(i);
            if (!drawing)
                out += ' ';
            i = run = i + 2;
            continue;
        }
        i += AnsiCharLength(leadBytes, text, i);
    }
    flush(text.size());
    return CollapseBlanks(out);
}

void ReadAssLines(const std::vector<std::string_view>& lines, TslItems& items,
                  const TLeadBytes& leadBytes, std::string* emptyReason) {
    ReadAss(lines, items, leadBytes, emptyReason);
}

void ReadAssLines(const TStringList& lines, TslItems& items, const TLeadBytes& leadBytes,
                  std::string* emptyReason) {
    ReadAss(lines, items, leadBytes, emptyReason);
}

void ReadAssFile(const std::string& fileName, TslItems& items, const ITextCodec& codec,
                 std::string* emptyReason) {
    items.clear();
    const std::string text = LoadTextFileText(fileName, codec);
    ReadAss(SplitLineViews(text), items, codec.LeadBytes(), emptyReason);
}

} // namespace parlino
