#pragma once
// The subtitle readers and the choice among them. Each replaces the whole
// track, with the leading entry as element 0, from the lines of a file: the
// SubRip and timecode-list readers here, the WebVTT and ASS/SSA readers in
// WebVttReader.h and AssReader.h.

#include "platform/ITextCodec.h"
#include "subtitles/TslItem.h"
#include "text/LoadTextFile.h"

#include <string>

namespace parlino {

// SubRip blocks: a number line, a time line "hh:mm:ss,mmm --> hh:mm:ss,mmm",
// text lines joined with single spaces, and an empty line. No lines give an
// empty track, without even the leading entry.
void ReadSrtLines(const std::vector<std::string_view>& lines, TslItems& items);
void ReadSrtLines(const TStringList& lines, TslItems& items);

// One entry per line: "hh:mm:ss:cc hh:mm:ss:cc text" in fixed columns, with
// hundredths of a second and "|" for a line break. Lines without ":" are
// skipped; no lines read as the single line "00:00:00:00=".
void ReadTimecodeLines(const std::vector<std::string_view>& lines, TslItems& items);
void ReadTimecodeLines(const TStringList& lines, TslItems& items);

// Read the file with LoadTextFile, then parse it; may throw EFOpenError.
void ReadSrtFile(const std::string& fileName, TslItems& items, const ITextCodec& codec);
void ReadTimecodeFile(const std::string& fileName, TslItems& items, const ITextCodec& codec);

// The layouts a subtitle file is read in.
enum class TSubtitleFormat { SubRip, WebVtt, Ass, Timecode };

// The layout the file name's extension (after the last dot of the last path
// component) chooses, in any letter case: ".srt" SubRip, ".vtt" WebVTT,
// ".ass" and ".ssa" ASS/SSA, anything else (no extension too) the timecode
// list.
TSubtitleFormat SubtitleFormatOf(const std::string& fileName);

// True when the file name's extension is ".srt" in any letter case.
bool IsSrtFileName(const std::string& fileName);

// Reads the file with the reader SubtitleFormatOf chooses; may throw
// EFOpenError. When the WebVTT or ASS/SSA reader finds nothing to speak the
// track is empty, as an empty SubRip file leaves it, and `emptyReason`, when
// given, receives why (it is left alone for the other layouts).
void ReadSubtitleFile(const std::string& fileName, TslItems& items, const ITextCodec& codec,
                      std::string* emptyReason = nullptr);

// Delphi's StrToIntDef(s, 0): optional leading blanks, a sign, decimal digits
// (or "$"/"0x" hexadecimal); anything else, or a value beyond 32 bits, is 0.
int32_t StrToIntDef0(std::string_view s);

} // namespace parlino
