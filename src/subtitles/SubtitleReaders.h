#pragma once
// The subtitle readers and the choice among them. Each replaces the whole
// track, with the leading entry as element 0, from the lines of a file: the
// SubRip and timecode-list readers here, the WebVTT and ASS/SSA readers in
// WebVttReader.h and AssReader.h.

#include "platform/ITextCodec.h"
#include "subtitles/TslItem.h"
#include "text/LoadTextFile.h"

#include <string>
#include <string_view>

namespace parlino {

// Why a non-empty file gave no entry, as `emptyReason` receives it.
inline constexpr std::string_view NoSrtBlockReason =
    "It has no SubRip block (a number line, then a time line).";
inline constexpr std::string_view NoTimecodeLineReason =
    "None of its lines is a timecode line \"hh:mm:ss:cc hh:mm:ss:cc text\".";

// SubRip blocks: a number line, a time line "hh:mm:ss,mmm --> hh:mm:ss,mmm",
// text lines joined with single spaces, and an empty line or a line of
// nothing but blanks. An empty file (no lines, or only lines of blanks)
// gives an empty track, without even the leading entry; so does a file in
// which no block begins, and `emptyReason`, when given, then receives
// NoSrtBlockReason.
void ReadSrtLines(const std::vector<std::string_view>& lines, TslItems& items,
                  std::string* emptyReason = nullptr);
void ReadSrtLines(const TStringList& lines, TslItems& items, std::string* emptyReason = nullptr);

// One entry per line: "hh:mm:ss:cc hh:mm:ss:cc text" in fixed columns, with
// hundredths of a second and "|" for a line break. Lines without ":" are
// skipped; an empty file (no lines, or only lines of blanks) reads as the
// single line "00:00:00:00=". Any other file of which no line holds a ":"
// gives an empty track, without even the leading entry, and `emptyReason`,
// when given, receives NoTimecodeLineReason.
void ReadTimecodeLines(const std::vector<std::string_view>& lines, TslItems& items,
                       std::string* emptyReason = nullptr);
void ReadTimecodeLines(const TStringList& lines, TslItems& items, std::string* emptyReason = nullptr);

// Read the file with LoadTextFile, then parse it; may throw EFOpenError.
void ReadSrtFile(const std::string& fileName, TslItems& items, const ITextCodec& codec,
                 std::string* emptyReason = nullptr);
void ReadTimecodeFile(const std::string& fileName, TslItems& items, const ITextCodec& codec,
                      std::string* emptyReason = nullptr);

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
// EFOpenError. When a non-empty file gives no subtitle (for WebVTT and
// ASS/SSA: none with text to speak) the track is empty, as an empty SubRip
// file leaves it, and `emptyReason`, when given, receives why; it is left
// alone for an empty SubRip file (empty track) and an empty timecode list
// (one empty entry).
void ReadSubtitleFile(const std::string& fileName, TslItems& items, const ITextCodec& codec,
                      std::string* emptyReason = nullptr);

// Delphi's StrToIntDef(s, 0): optional leading blanks, a sign, decimal digits
// (or "$"/"0x" hexadecimal); anything else, or a value beyond 32 bits, is 0.
int32_t StrToIntDef0(std::string_view s);

} // namespace parlino
