#pragma once
// Reading text files into lines of ANSI text.

#include "platform/ITextCodec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlino {

using TStringList = std::vector<std::string>;

// Text files larger than this are refused: the whole file is held in memory,
// and subtitles or dictionaries are some megabytes at most.
inline constexpr uint64_t MaxTextFileSize = uint64_t{256} << 20;

// Replaces `lines` with the lines of `fileName`, as ANSI text in the system
// code page of `codec`:
// - a UTF-8 byte-order mark: the rest is UTF-8, in which each malformed
//   sequence (a stray byte, a truncated character) reads as one U+FFFD,
//   which the code page conversion makes '?' like any character the code
//   page lacks;
// - a UTF-16 mark, little-endian (FF FE) or big-endian (FE FF): the rest is
//   UTF-16 in that byte order up to the first zero unit;
// - no mark, but valid UTF-8 up to the first zero byte with at least one
//   multi-byte sequence: read as UTF-8 too, since that is how most files are
//   saved now;
// - anything else: ANSI text, byte for byte.
// The text ends at its first zero byte; lines end at CR LF, CR or LF.
// Throws EFOpenError ("Cannot open file "%s". %s") when the file cannot be
// opened, is not a regular file (a folder, pipe, device or socket, which
// would never end or never start) or is larger than MaxTextFileSize; `lines`
// is then empty.
void LoadTextFile(TStringList& lines, const std::string& fileName, const ITextCodec& codec);

// The same decoding for bytes already in memory.
void DecodeTextBytes(TStringList& lines, std::string_view bytes, const ITextCodec& codec);

// Strict UTF-8 to UTF-16: sequences of one to four bytes, no overlong forms,
// no surrogates. Nothing when any sequence is malformed or truncated.
// `multiByte`, when given, tells whether any sequence was longer than a byte.
std::optional<WideString> DecodeUtf8(std::string_view bytes, bool* multiByte = nullptr);

// UTF-8 to UTF-16 as files after a UTF-8 mark are read: every maximal
// ill-formed subpart (a lead byte with the continuation bytes that could
// have followed it, or a byte alone) becomes one U+FFFD.
WideString DecodeUtf8Replacing(std::string_view bytes);

// Splits at CR LF, lone CR and lone LF; the text ends at its first zero byte;
// a terminator at the very end adds no empty line.
void SplitLines(std::string_view text, TStringList& lines);

// The decoded text of a file as one ANSI string, and its lines as views into
// it: the same lines LoadTextFile gives, without a copy of each.
std::string LoadTextFileText(const std::string& fileName, const ITextCodec& codec);
std::vector<std::string_view> SplitLineViews(std::string_view text);

} // namespace parlino
