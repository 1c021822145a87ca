#pragma once
// Conversions between 8-bit ANSI text and wide (UTF-16) text, as the
// Windows code page services provide them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace parlino {

// UTF-16 code units, as in the wide text of the Windows API.
using WideString = std::u16string;

// Which bytes begin a two-byte character of a double-byte code page.
using TLeadBytes = std::array<bool, 256>;

// A lead byte and the byte after it are one character when that byte is at
// least this (the trail bytes of code pages 932, 936, 949 and 950 all are);
// otherwise the lead byte is a broken character of its own, so that it never
// takes a line break, a space, a digit or a punctuation mark with it.
inline constexpr unsigned char MinTrailByte = 0x40;

// The length in bytes, 1 or 2, of the character that begins at text[at].
inline size_t AnsiCharLength(const TLeadBytes& leadBytes, std::string_view text, size_t at) {
    return leadBytes[static_cast<unsigned char>(text[at])] && at + 1 < text.size() &&
                   static_cast<unsigned char>(text[at + 1]) >= MinTrailByte
               ? 2
               : 1;
}

class ITextCodec {
public:
    virtual ~ITextCodec() = default;

    // The system ANSI code page (1252, 1251, ...).
    virtual uint32_t SystemCodePage() const = 0;

    // ANSI text in code page `codePage` (0: the system code page) to wide text.
    // Bytes the code page does not define become U+FFFD.
    virtual WideString ToWide(std::string_view ansi, uint32_t codePage = 0) const = 0;

    // Wide text to ANSI text in `codePage` (0: the system code page).
    // Characters the code page cannot show become '?'.
    virtual std::string ToAnsi(std::u16string_view wide, uint32_t codePage = 0) const = 0;

    // The lead bytes of `codePage` (0: the system code page), as the code
    // page's lead-byte ranges give them; none in a single-byte code page.
    virtual TLeadBytes LeadBytes(uint32_t codePage = 0) const = 0;

    // Upper case with the locale's rules, for ANSI text in the system code
    // page, character by character: the result is as long as `ansi`, and a
    // character whose upper case the code page lacks, or writes with another
    // number of bytes, keeps its own bytes.
    virtual std::string AnsiUpperCase(std::string_view ansi) const = 0;
};

} // namespace parlino
