#pragma once
// The ASS/SSA reader (".ass" and ".ssa" files): the Dialogue events of the
// [Events] section, ordered by start time, after the leading entry.

#include "platform/ITextCodec.h"
#include "subtitles/TslItem.h"
#include "text/LoadTextFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlino {

// Reads the lines of an ASS or SSA script. Only the [Events] section counts
// (its name in any letter case); there the "Format:" line names the fields of
// the events, and without one (or with one that names no Start, End or Text)
// the standard ten fields of both layouts apply, Start second, End third and
// Text last. "Dialogue:" lines are the subtitles: the last field (Text) takes
// the rest of the line, commas and all; a line with fewer fields, or whose
// Start or End is no time "h:mm:ss.cc", is skipped. "Comment:" lines and the
// other event kinds are skipped.
//
// DisplayText is the Text field as read; SpeechText has the override blocks
// {...} removed, \N, \n and \h made spaces, the text drawn while a block has
// set drawing mode (\p1 and up, until \p0) left out and blanks tidied.
// Events with nothing left to speak are left out; the entries are ordered by
// start time, events starting together keeping their file order, and of
// events that start together and speak the same text (one text drawn on
// several layers) only the first is kept.
//
// `leadBytes` are those of the system code page the text is in, so that the
// second byte of a double-byte character is never taken for '\', '{' or '}'.
//
// Without an [Events] section, or without a Dialogue line to speak, `items`
// is empty (not even the leading entry) and `emptyReason`, when given,
// receives why.
void ReadAssLines(const std::vector<std::string_view>& lines, TslItems& items,
                  const TLeadBytes& leadBytes, std::string* emptyReason = nullptr);
void ReadAssLines(const TStringList& lines, TslItems& items, const TLeadBytes& leadBytes,
                  std::string* emptyReason = nullptr);

// Reads the file with LoadTextFile, then parses it; may throw EFOpenError.
void ReadAssFile(const std::string& fileName, TslItems& items, const ITextCodec& codec,
                 std::string* emptyReason = nullptr);

// The text an event's Text field speaks, as described above.
std::string AssSpeechText(std::string_view text, const TLeadBytes& leadBytes);

// A time "h:mm:ss.cc" in milliseconds: blanks around it allowed, the
// fraction of a second read as a decimal fraction (hundredths as usual, but
// any number of digits, or none), the digits beyond milliseconds dropped.
// -1 when it does not read or lies beyond the 32-bit milliseconds.
int64_t AssTimeMs(std::string_view field);

} // namespace parlino
