#pragma once
#include "platform/ITextCodec.h"

#include <string>

namespace parlino {

// The code page services over iconv. The system code page is derived from the
// locale variables the way Windows assigns an ANSI code page to a language, so
// it does not depend on that locale being installed.
class TIconvCodec final : public ITextCodec {
public:
    // Reads LC_ALL, LC_CTYPE and LANG now.
    TIconvCodec();
    explicit TIconvCodec(uint32_t systemCodePage) : FSystemCodePage(systemCodePage) {}

    uint32_t SystemCodePage() const override { return FSystemCodePage; }
    WideString ToWide(std::string_view ansi, uint32_t codePage = 0) const override;
    std::string ToAnsi(std::u16string_view wide, uint32_t codePage = 0) const override;
    TLeadBytes LeadBytes(uint32_t codePage = 0) const override;
    std::string AnsiUpperCase(std::string_view ansi) const override;

    // The code page Windows gives a locale name such as "ru_RU.UTF-8"; 1252 for
    // "C", "POSIX", an empty name and every language without a table entry.
    static uint32_t CodePageForLocale(const std::string& localeName);
    // The iconv name of a Windows code page, or empty when iconv has none.
    static std::string IconvName(uint32_t codePage);

private:
    uint32_t Resolve(uint32_t codePage) const;
    uint32_t FSystemCodePage;
};

} // namespace parlino
