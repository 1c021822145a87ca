#include "subtitles/SubtitleReaders.h"

#include "subtitles/AssReader.h"
#include "subtitles/WebVttReader.h"

#include <algorithm>

namespace parlino {
namespace {

// Copy(s, first, count) with 1-based positions; empty beyond the end.
std::string_view Copy(std::string_view s, size_t first, size_t count) {
    if (first == 0 || first > s.size()) return {};
    return s.substr(first - 1, count);
}

uint16_t Piece(std::string_view s, size_t first, size_t count) {
    return static_cast<uint16_t>(StrToIntDef0(Copy(s, first, count)));
}

int32_t ToMs(uint16_t h, uint16_t m, uint16_t s, uint16_t ms) {
    // 32-bit arithmetic that wraps like the original integer type.
    int64_t total = int64_t{ms} + int64_t{s} * 1000 + int64_t{m} * 60000 + int64_t{h} * 3600000;
    return static_cast<int32_t>(static_cast<uint32_t>(total));
}

// Empty after trimming as Delphi's Trim trims: spaces, tabs and the other
// control characters.
bool IsBlank(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

void StartTrack(TslItems& items, size_t expected) {
    items.clear();
    items.reserve(expected + 1);
    items.emplace_back(); // the leading entry at time 0
}

} // namespace

int32_t StrToIntDef0(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return 0;
    int64_t value = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return 0;
        value = value * base + digit;
        if (value > int64_t{INT32_MAX} + 1) return 0;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return 0;
    return static_cast<int32_t>(value);
}

template <typename Lines>
bool AllBlank(const Lines& lines) {
    return std::all_of(lines.begin(), lines.end(), [](std::string_view line) { return IsBlank(line); });
}

template <typename Lines>
void ReadSrt(const Lines& lines, TslItems& items, std::string* emptyReason) {
    items.clear();
    if (AllBlank(lines)) return; // an empty file
    StartTrack(items, lines.size() / 4);
    size_t i = 0;
    const size_t n = lines.size();
    while (i < n) {
        if (IsBlank(lines[i])) {
            ++i;
            continue;
        }
        ++i; // the number line, not examined
        if (i >= n) break;
        const std::string_view timeLine = lines[i++];
        TslItem item;
        if (timeLine.find(':') != std::string_view::npos) {
            item.Hours = Piece(timeLine, 1, 2);
            item.Minutes = Piece(timeLine, 4, 2);
            item.Seconds = Piece(timeLine, 7, 2);
            item.Milliseconds = Piece(timeLine, 10, 3);
            item.StartMs = ToMs(item.Hours, item.Minutes, item.Seconds, item.Milliseconds);
            item.EndMs = ToMs(Piece(timeLine, 18, 2), Piece(timeLine, 21, 2), Piece(timeLine, 24, 2),
                              Piece(timeLine, 27, 3));
        }
        // A line of blanks ends the text as an empty line does: editors
        // leave blanks on the lines between blocks.
        std::string text;
        bool first = true;
        while (i < n && !IsBlank(lines[i])) {
            if (!first) text += ' ';
            text += lines[i++];
            first = false;
        }
        item.SpeechText = text;
        item.DisplayText = std::move(text);
        items.push_back(std::move(item));
        if (i >= n) break;
        ++i; // the empty line that ended the text
    }
    if (items.size() == 1) {
        items.clear();
        if (emptyReason) *emptyReason = std::string(NoSrtBlockReason);
    }
}

template <typename Lines>
void ReadTimecode(const Lines& lines, TslItems& items, std::string* emptyReason) {
    static const Lines emptyFile{"00:00:00:00="};
    const Lines& source = AllBlank(lines) ? emptyFile : lines;
    StartTrack(items, source.size());
    for (const std::string_view line : source) {
        if (line.find(':') == std::string_view::npos) continue;
        TslItem item;
        item.Hours = Piece(line, 1, 2);
        item.Minutes = Piece(line, 4, 2);
        item.Seconds = Piece(line, 7, 2);
        item.Milliseconds = static_cast<uint16_t>(Piece(line, 10, 2) * 10);
        item.StartMs = ToMs(item.Hours, item.Minutes, item.Seconds, item.Milliseconds);
        item.EndMs = ToMs(Piece(line, 13, 2), Piece(line, 16, 2), Piece(line, 19, 2),
                          static_cast<uint16_t>(Piece(line, 22, 2) * 10));
        std::string text(line.size() > 24 ? line.substr(24) : std::string_view());
        std::replace(text.begin(), text.end(), '|', ' ');
        item.SpeechText = text;
        item.DisplayText = std::move(text);
        items.push_back(std::move(item));
    }
    if (items.size() == 1) {
        items.clear();
        if (emptyReason) *emptyReason = std::string(NoTimecodeLineReason);
    }
}

void ReadSrtLines(const std::vector<std::string_view>& lines, TslItems& items, std::string* emptyReason) {
    ReadSrt(lines, items, emptyReason);
}
void ReadSrtLines(const TStringList& lines, TslItems& items, std::string* emptyReason) {
    ReadSrt(lines, items, emptyReason);
}
void ReadTimecodeLines(const std::vector<std::string_view>& lines, TslItems& items, std::string* emptyReason) {
    ReadTimecode(lines, items, emptyReason);
}
void ReadTimecodeLines(const TStringList& lines, TslItems& items, std::string* emptyReason) {
    ReadTimecode(lines, items, emptyReason);
}

void ReadSrtFile(const std::string& fileName, TslItems& items, const ITextCodec& codec,
                 std::string* emptyReason) {
    items.clear();
    const std::string text = LoadTextFileText(fileName, codec);
    ReadSrt(SplitLineViews(text), items, emptyReason);
}

void ReadTimecodeFile(const std::string& fileName, TslItems& items, const ITextCodec& codec,
                      std::string* emptyReason) {
    items.clear();
    const std::string text = LoadTextFileText(fileName, codec);
    ReadTimecode(SplitLineViews(text), items, emptyReason);
}

TSubtitleFormat SubtitleFormatOf(const std::string& fileName) {
    // The extension starts at the last dot of the last path component.
    size_t dot = fileName.find_last_of("./");
    std::string ext = (dot != std::string::npos && fileName[dot] == '.') ? fileName.substr(dot) : "";
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (ext == ".SRT") return TSubtitleFormat::SubRip;
    if (ext == ".VTT") return TSubtitleFormat::WebVtt;
    if (ext == ".ASS" || ext == ".SSA") return TSubtitleFormat::Ass;
    return TSubtitleFormat::Timecode;
}

bool IsSrtFileName(const std::string& fileName) {
    return SubtitleFormatOf(fileName) == TSubtitleFormat::SubRip;
}

void ReadSubtitleFile(const std::string& fileName, TslItems& items, const ITextCodec& codec,
                      std::string* emptyReason) {
    switch (SubtitleFormatOf(fileName)) {
    case TSubtitleFormat::SubRip:
        ReadSrtFile(fileName, items, codec, emptyReason);
        return;
    case TSubtitleFormat::WebVtt:
        ReadVttFile(fileName, items, codec, emptyReason);
        return;
    case TSubtitleFormat::Ass:
        ReadAssFile(fileName, items, codec, emptyReason);
        return;
    case TSubtitleFormat::Timecode:
        ReadTimecodeFile(fileName, items, codec, emptyReason);
        return;
    }
}

} // namespace parlino
