#pragma once
// Conversions between 8-bit ANSI text and wide (UTF-16) text, as the
// Windows code page services provide them.

#include <cstdint>
#include <string>
#include <string_view>

namespace parlino {

// UTF-16 code units, as in the wide text of the Windows API.
using WideString = std::u16string;

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

    // Upper case with the locale's rules, for ANSI text in the system code page.
    virtual std::string AnsiUpperCase(std::string_view ansi) const = 0;
};

} // namespace parlino
