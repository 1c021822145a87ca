#pragma once
// The WebVTT reader (".vtt" files): the cues of the file, each one entry, in
// file order, after the leading entry.

#include "platform/ITextCodec.h"
#include "subtitles/TslItem.h"
#include "text/LoadTextFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace parlino {

// Reads the lines of a WebVTT file as the W3C WebVTT parser collects its
// blocks: the first line is "WEBVTT", alone or followed by a blank and any
// text; header lines follow up to the first empty line; then each block
// whose first or second line holds "-->" and whose timings read (hh:mm:ss.ttt
// or mm:ss.ttt, cue settings after them ignored) is a cue, any line before
// the timings being its identifier. NOTE, STYLE and REGION blocks, and
// blocks whose timings do not read, are skipped.
//
// A cue's text lines are joined with single spaces into DisplayText (the
// text as read, tags and all); SpeechText is that text with the tags
// removed, the text of ruby annotations (<rt>) left out, the entities
// &amp; &lt; &gt; &nbsp; &lrm; &rlm; decoded and blanks tidied. Cues with
// nothing left to speak are left out.
//
// Without the "WEBVTT" line, or without a cue, `items` is empty (not even the
// leading entry) and `emptyReason`, when given, receives why.
void ReadVttLines(const std::vector<std::string_view>& lines, TslItems& items,
                  std::string* emptyReason = nullptr);
void ReadVttLines(const TStringList& lines, TslItems& items, std::string* emptyReason = nullptr);

// Reads the file with LoadTextFile, then parses it; may throw EFOpenError.
void ReadVttFile(const std::string& fileName, TslItems& items, const ITextCodec& codec,
                 std::string* emptyReason = nullptr);

// The text a cue's text (its lines joined) speaks, as described above.
std::string VttSpeechText(std::string_view cueText);

} // namespace parlino
