// Subtitle files as Parlino loads them: the decoding of LoadTextFile (marks,
// UTF-8 detection, UTF-16, code pages), every reader on its lines, and the
// start times as the grid shows them.

#include "FuzzSupport.h"
#include "subtitles/AssReader.h"
#include "subtitles/WebVttReader.h"
#include "subtitles/FormatTime.h"
#include "subtitles/SubtitleReaders.h"

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

    TslItems items;
    ReadSrtLines(lines, items);
    FUZZ_CHECK(items.empty() == lines.empty());
    if (!items.empty())
        CheckTrack(items);

    std::string reason;
    ReadVttLines(lines, items, &reason);
    FUZZ_CHECK(items.empty() != reason.empty());
    CheckTaggedTrack(items, false);
    reason.clear();
    ReadAssLines(lines, items, fuzz::CodecFor(size).LeadBytes(), &reason);
    FUZZ_CHECK(items.empty() != reason.empty());
    CheckTaggedTrack(items, true);

    ReadTimecodeLines(lines, items);
    FUZZ_CHECK(!items.empty());
    CheckTrack(items);
    for (const TslItem& item : items)
        FUZZ_CHECK(item.DisplayText.find('|') == std::string::npos);
    return 0;
}
