#pragma once
// The ini file of the settings, read and written with the conventions of the
// Windows profile functions:
// - a missing file, section or key reads as the caller's default;
// - section and key names match without regard to ASCII letter case; when a
//   name occurs twice, the first occurrence counts;
// - a value read loses its surrounding blanks and one pair of enclosing
//   quotes (" or '), and is cut to MaxValueLength bytes; a CR or NUL inside
//   it reads as a blank, as it would be written;
// - a new key goes to the end of its section (after its last key), a new
//   section to the end of the file.
// Every other line (comments, blank lines, unknown sections and keys, lines
// that are not "key=value") stays as it was, where it was. Lines may end with
// CR LF or LF; the file is always written with CR LF.

#include "platform/Exceptions.h"
#include "text/LoadTextFile.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlino {

// A settings file that exists but cannot be read (no permission, not a file,
// too large, an input error).
class EIniReadError : public EParlinoError {
public:
    using EParlinoError::EParlinoError;
};

class TIniFile {
public:
    static constexpr size_t MaxValueLength = 2047;
    // Larger files are not read (EIniReadError), so that a runaway file
    // cannot exhaust the memory.
    static constexpr uint64_t MaxFileSize = 256ull << 20;

    TIniFile();
    explicit TIniFile(std::string text);
    TIniFile(TIniFile&&) noexcept;
    TIniFile& operator=(TIniFile&&) noexcept;
    ~TIniFile();

    // The file's content; a missing file gives an empty document. Throws
    // EIniReadError when the file exists but cannot be read.
    static TIniFile Load(const std::string& fileName);
    // Writes Text() so that the file holds either its old content or the
    // new one, never a part (see WriteFileAtomically).
    void Save(const std::string& fileName) const;
    // The whole document, every line ended by CR LF.
    std::string Text() const;

    // The value as the profile functions read it, or nothing when the section
    // or key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& def) const;
    // Decimal, or hexadecimal after "0x", "0X" or "$"; anything else reads as `def`.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    // An integer; any value other than 0 is true.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    // The keys of a section in file order (each as written, trimmed).
    std::vector<std::string> Keys(std::string_view section) const;

    // Sets the key's value, adding the key or the section where missing.
    // CR, LF and NUL in `value` become blanks, so a value can never break the
    // file's line structure. A value with blanks around it, or enclosed in
    // quotes, is written in double quotes, so that it reads back as it was.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // A list of texts: the key `countKey` and the keys "0" .. count - 1.
    // Reading looks only at those keys and skips empty values; writing writes
    // them all and leaves keys of a longer earlier list in place.
    TStringList ReadList(std::string_view section, std::string_view countKey) const;
    void WriteList(std::string_view section, std::string_view countKey, const TStringList& list);

private:
    struct TSection;
    TSection* FindSection(std::string_view name) const;
    TSection& SectionForWriting(std::string_view name);
    void Parse();

    // Only the sections that are asked for are split into lines; the rest of
    // the text is written back as it was read (with CR LF line ends). So a
    // large file costs one pass over it and the lines of the few sections
    // used, whatever its shape.
    // Lines are views: unchanged ones into the text read, written ones into
    // FOwnedLines; both keep their addresses when the document is moved.
    std::unique_ptr<const std::string> FBuffer;
    std::deque<std::string> FOwnedLines;
    struct TIndex;
    std::unique_ptr<TIndex> FIndex; // the section headers and the sections asked for
};

// Parses an ini integer: optional sign, then decimal digits or a hexadecimal
// prefix and hex digits; nothing when the text is not one or is out of the
// 32-bit range (hexadecimal reaches FFFFFFFF, read as a signed value).
std::optional<int32_t> ParseIniInteger(std::string_view text);

} // namespace parlino
