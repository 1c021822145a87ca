// Subtitle files as Parlino loads them: the decoding of LoadTextFile (marks,
// UTF-8 detection, UTF-16, code pages), every reader on its lines, and the
// start times as the grid shows them.

#include "FuzzSupport.h"
#include "subtitles/AssReader.h"
#include "subtitles/WebVttReader.h"
#include "subtitles/FormatTime.h"
#include "subtitles/SubtitleReaders.h"

#include <algorithm>

using namespace parlino;

namespace {

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

void CheckTime(int32_t ms) {
    const std::string shown = FormatTime(ms);
    FUZZ_CHECK(shown.size() >= 8);
    // A time of day reads back as it is shown, less its milliseconds.
    if (ms >= 0 && ms < 24 * 3600000)
        FUZZ_CHECK(StrToTimeMs(shown) == ms - ms % 1000);
}

void CheckTrack(const TslItems& items) {
    FUZZ_CHECK(items.front().StartMs == 0 && items.front().DisplayText.empty());
    for (const TslItem& item : items) {
        FUZZ_CHECK(item.DisplayText == item.SpeechText);
        FUZZ_CHECK(!HasLineBreak(item.DisplayText));
        CheckTime(item.StartMs);
        CheckTime(item.EndMs);
    }
}

// The WebVTT and ASS readers: a leading entry, then what is spoken, on one
// line each; ASS entries in order of their start.
void CheckTaggedTrack(const TslItems& items, bool ordered) {
    if (items.empty())
        return;
    FUZZ_CHECK(items.front().StartMs == 0 && items.front().DisplayText.empty());
    for (size_t i = 1; i < items.size(); ++i) {
        FUZZ_CHECK(!HasLineBreak(items[i].DisplayText) && !HasLineBreak(items[i].SpeechText));
        FUZZ_CHECK(!items[i].SpeechText.empty());
        CheckTime(items[i].StartMs);
        if (ordered && i > 1)
            FUZZ_CHECK(items[i - 1].StartMs <= items[i].StartMs);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TStringList lines;
    DecodeTextBytes(lines, fuzz::AsText(data, size), fuzz::CodecFor(size));
    for (const std::string& line : lines)
        FUZZ_CHECK(!HasLineBreak(line) && line.find('\0') == std::string::npos);

    // A file of nothing but blanks is empty; any other says why it gave
    // nothing.
    const bool blank = std::all_of(lines.begin(), lines.end(), [](const std::string& line) {
        return std::all_of(line.begin(), line.end(),
                           [](char c) { return static_cast<unsigned char>(c) <= ' '; });
    });
    TslItems items;
    std::string reason;
    ReadSrtLines(lines, items, &reason);
    FUZZ_CHECK(items.empty() == (blank || !reason.empty()));
    FUZZ_CHECK(reason.empty() || !blank);
    if (!items.empty())
        CheckTrack(items);

    reason.clear();
    ReadVttLines(lines, items, &reason);
    FUZZ_CHECK(items.empty() != reason.empty());
    CheckTaggedTrack(items, false);
    reason.clear();
    ReadAssLines(lines, items, fuzz::CodecFor(size).LeadBytes(), &reason);
    FUZZ_CHECK(items.empty() != reason.empty());
    CheckTaggedTrack(items, true);

    reason.clear();
    ReadTimecodeLines(lines, items, &reason);
    FUZZ_CHECK(items.empty() != reason.empty());
    FUZZ_CHECK(!items.empty() || !blank);
    if (items.empty())
        return 0;
    CheckTrack(items);
    for (const TslItem& item : items)
        FUZZ_CHECK(item.DisplayText.find('|') == std::string::npos);
    return 0;
}
