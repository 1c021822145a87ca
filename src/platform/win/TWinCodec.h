#pragma once
#include "platform/ITextCodec.h"

namespace parlino {

// The code page services of Windows (MultiByteToWideChar and its reverse).
class TWinCodec final : public ITextCodec {
public:
    TWinCodec(); // the system's ANSI code page (GetACP)
    explicit TWinCodec(uint32_t systemCodePage) : FSystemCodePage(systemCodePage) {}

    uint32_t SystemCodePage() const override { return FSystemCodePage; }
    WideString ToWide(std::string_view ansi, uint32_t codePage = 0) const override;
    std::string ToAnsi(std::u16string_view wide, uint32_t codePage = 0) const override;
    TLeadBytes LeadBytes(uint32_t codePage = 0) const override;
    std::string AnsiUpperCase(std::string_view ansi) const override;

private:
    uint32_t Resolve(uint32_t codePage) const { return codePage ? codePage : FSystemCodePage; }
    uint32_t FSystemCodePage;
};

} // namespace parlino
